#pragma once

#include <QAbstractScrollArea>

#include <memory>
#include <vector>

class CQpgDoc;
class CReportLayout;
class CSettings;

// The main window's client area: the setup report's pages as they print, one
// below the other on a grey desk, scaled to the window's width (never larger
// than the paper). Refresh lays the report out again when the project or its
// title changed since the last time; painting draws only the pages in view.
class CQpgView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit CQpgView(QWidget* parent = nullptr);
    ~CQpgView() override;

    // Takes the report of `doc` when the project (its file form) or `title`
    // differ from what is shown.
    void Refresh(CQpgDoc& doc, const QString& title, const CSettings& settings);

    int PageCount() const { return pageCount_; }
    // How many pages the last paint drew (those in view).
    int PagesPainted() const { return pagesPainted_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Screen pixels per report unit, and the height of one page with its gap.
    double Scale() const;
    int PageStep() const;
    void UpdateScrollBars();

    std::unique_ptr<CReportLayout> layout_;
    std::vector<uint8_t> shownProject_;
    QString shownTitle_;
    int pageCount_ = 0;
    int pagesPainted_ = 0;
};
