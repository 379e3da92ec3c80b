#pragma once

#include <QWidget>

#include <functional>

class CHexEdit;
class CRangeEntry;
class QRadioButton;

// The range entry of every range dialog: "&Startaddress:" with its edit,
// the "&Length:" / "&Endaddress:" radio pair and the one edit for the
// length or end address, each edit followed by "Hex". A view over a
// CRangeEntry, which holds the numbers, the mode and the conversion.
class CRangeEntryWidget : public QWidget {
    Q_OBJECT
public:
    explicit CRangeEntryWidget(CRangeEntry& entry, QWidget* parent = nullptr);

    // Entry -> controls (texts and radio buttons).
    void Load();
    // Controls -> entry (texts; the mode is the entry's own).
    void Store();
    // After a failed read: the focus on the field the entry points at.
    void FocusFailedField();

    // What a click on a radio button runs (the entry's SelectMode unless a
    // dialog's model has its own, which also drops what belonged to the old mode).
    void SetModeHandler(std::function<void(int)> handler) { modeHandler_ = std::move(handler); }

    CHexEdit* StartEdit() const { return start_; }
    CHexEdit* SecondEdit() const { return second_; }

signals:
    // The person switched between length and end address.
    void modeChanged();
    // The person typed into one of the edits.
    void edited();

private:
    void Select(int lengthMode);

    CRangeEntry& entry_;
    CHexEdit* start_;
    CHexEdit* second_;
    QRadioButton* length_;
    QRadioButton* end_;
    std::function<void(int)> modeHandler_;
};
