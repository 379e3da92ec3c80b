#pragma once

class QLabel;
class QWidget;

// The status text at the foot of a dialog: sunken, as wide as the dialog,
// two lines high (a longer text wraps) even while empty.
QLabel* MakeStatusLabel(QWidget* parent);
