#pragma once

#include <QDialog>
#include <QVector>

class CEraseMap;
class CEraseSectorSelection;
class QCheckBox;
class QLabel;
class QPushButton;

// "Erase Sectors": a grid built at run time from the device and the number
// of banks, one column of check boxes per bank (headed by the bank number)
// and one row per sector (labelled with the sector's offset on the bus), in
// pages of 16 rows with "Prev" and "Next". "Erase" writes the choice into the
// erase map and confirms; "Cancel" leaves the map as it was. The rules are
// CEraseSectorSelection's; this is its view.
class CEraseSectorsDialog final : public QDialog {
    Q_OBJECT
public:
    CEraseSectorsDialog(CEraseSectorSelection& selection, CEraseMap& map, QWidget* parent = nullptr);
    ~CEraseSectorsDialog() override;

    void Prev();
    void Next();
    void Erase();

private:
    void ShowPage();
    void StorePage();
    QCheckBox* Box(int bank, int row) const;

    CEraseSectorSelection& selection_;
    CEraseMap& map_;
    int rows_;
    QVector<QLabel*> rowLabels_;
    QVector<QCheckBox*> boxes_; // row * banks + bank
    QPushButton* prev_;
    QPushButton* next_;
};
