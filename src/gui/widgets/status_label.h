#pragma once

class QLabel;
class QWidget;

// The one-line status text at the foot of a dialog: sunken, as wide as the
// dialog, high enough for one line even while empty.
QLabel* MakeStatusLabel(QWidget* parent);
