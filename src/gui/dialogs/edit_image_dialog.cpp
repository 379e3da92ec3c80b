#include "gui/dialogs/edit_image_dialog.h"

#include "commands/edit_image_command.h"
#include "gui/widgets/hex_edit.h"

#include <QButtonGroup>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace {

constexpr int kRows = CEditImageModel::kRows;

} // namespace

CEditImageDialog::CEditImageDialog(CEditImageCommand& command, const SDialogServices& services, QWidget* parent)
    : CCommandDialog("editImageDialog", tr("Edit Memory Image"), services, parent), command_(command)
{
    CEditImageModel& model = command_.model;
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const QFontMetrics fm(fixed);

    auto* addressLabel = new QLabel(tr("&Address:"), this);
    address_ = new CHexEdit(this);
    address_->setObjectName("addressEdit");
    addressLabel->setBuddy(address_);
    auto* dataLabel = new QLabel(tr("&Data:"), this);
    data_ = new CHexEdit(this);
    data_->setObjectName("dataEdit");
    dataLabel->setBuddy(data_);
    auto* goTo = CreateButton(tr("&Go to"), "goToButton");
    auto* store = CreateButton(tr("&Store"), "storeButton", true);
    auto* fields = new QGridLayout;
    fields->addWidget(addressLabel, 0, 0);
    fields->addWidget(address_, 0, 1);
    fields->addWidget(goTo, 0, 2);
    fields->addWidget(dataLabel, 1, 0);
    fields->addWidget(data_, 1, 1);
    fields->addWidget(store, 1, 2);

    auto* size = new QGroupBox(tr("Size"), this);
    const char* names[3] = {"byteRadio", "wordRadio", "longRadio"};
    const QString texts[3] = {tr("Byte"), tr("&Word"), tr("&Long")};
    auto* unitGroup = new QButtonGroup(this);
    auto* unitRow = new QHBoxLayout(size);
    for (int i = 0; i < 3; ++i) {
        units_[i] = new QRadioButton(texts[i], size);
        units_[i]->setObjectName(names[i]);
        unitGroup->addButton(units_[i], i);
        unitRow->addWidget(units_[i]);
    }
    auto* head = new QHBoxLayout;
    head->addLayout(fields);
    head->addSpacing(16);
    head->addWidget(size, 0, Qt::AlignTop);
    head->addStretch(1);

    // The page: 8 address lines beside 8 rows of 16 bytes. Each line is one
    // eighth of the lists' height; the data columns share the width evenly.
    const int rowHeight = fm.height() + 6;
    addresses_ = new QListWidget(this);
    addresses_->setObjectName("addressList");
    addresses_->setFont(fixed);
    addresses_->setUniformItemSizes(true);
    addresses_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    addresses_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    addresses_->setFixedSize(fm.horizontalAdvance(QStringLiteral(" 00000000 ")) + 2 * addresses_->frameWidth() + 8,
                             rowHeight * kRows + 2 * addresses_->frameWidth());
    for (int r = 0; r < kRows; ++r) {
        auto* item = new QListWidgetItem(addresses_);
        item->setSizeHint(QSize(0, rowHeight));
    }
    grid_ = new QTableWidget(kRows, model.Columns(), this);
    grid_->setObjectName("dataGrid");
    grid_->setFont(fixed);
    grid_->horizontalHeader()->hide();
    grid_->verticalHeader()->hide();
    grid_->setShowGrid(false);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab goes on to the next control, not from cell to cell (128 stops).
    grid_->setTabKeyNavigation(false);
    grid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Room for the widest page: 16 bytes " %02X" with a margin in each column.
    grid_->setFixedSize(16 * (fm.horizontalAdvance(QStringLiteral(" 00")) + 10) + 2 * grid_->frameWidth(),
                        rowHeight * kRows + 2 * grid_->frameWidth());
    scroll_ = new QScrollBar(Qt::Vertical, this);
    scroll_->setObjectName("scrollBar");
    scroll_->setFixedHeight(grid_->height());
    auto* page = new QHBoxLayout;
    page->setSpacing(0);
    page->addWidget(addresses_);
    page->addSpacing(4);
    page->addWidget(grid_);
    page->addWidget(scroll_);
    page->addStretch(1);

    QPushButton* close = CreateCloseButton();
    close->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(close);

    auto* top = new QVBoxLayout(this);
    top->addLayout(head);
    top->addLayout(page);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    address_->Bind(&model.address);
    data_->Bind(&model.data);
    units_[model.UnitIndex()]->setChecked(true);
    scroll_->setRange(model.ScrollMin(), model.ScrollMax());
    scroll_->setEnabled(model.ScrollMax() > model.ScrollMin());
    scroll_->setSingleStep(1);
    scroll_->setPageStep(8);
    Refresh();

    grid_->viewport()->installEventFilter(this);
    addresses_->viewport()->installEventFilter(this);
    connect(goTo, &QPushButton::clicked, this, &CEditImageDialog::RunGoTo);
    connect(store, &QPushButton::clicked, this, &CEditImageDialog::RunStore);
    connect(unitGroup, &QButtonGroup::idClicked, this, &CEditImageDialog::SelectUnit);
    connect(addresses_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        StoreFields();
        command_.model.ClickAddressLine(addresses_->row(item));
        addresses_->clearSelection();
        Refresh();
        ApplyFocus();
    });
    connect(grid_, &QTableWidget::cellClicked, this, [this](int row, int column) {
        StoreFields();
        command_.model.ClickDataItem(row, column);
        grid_->clearSelection();
        Refresh();
        ApplyFocus();
    });
    connect(scroll_, &QScrollBar::actionTriggered, this, &CEditImageDialog::OnScrollAction);
    connect(scroll_, &QScrollBar::sliderReleased, this, [this] {
        command_.model.Scroll(CEditImageModel::EScroll::ThumbPosition, scroll_->sliderPosition());
        Refresh();
    });
}

CEditImageDialog::~CEditImageDialog() = default;

void CEditImageDialog::StoreFields()
{
    address_->Store();
    data_->Store();
}

void CEditImageDialog::Refresh()
{
    address_->Load();
    data_->Load();
    FillGrid();
    scroll_->setSliderPosition(command_.model.ScrollPosition());
}

void CEditImageDialog::FillGrid()
{
    const CEditImageModel& model = command_.model;
    for (int r = 0; r < kRows; ++r)
        addresses_->item(r)->setText(QString::fromStdString(model.AddressLine(r)));
    const int columns = model.Columns();
    if (grid_->columnCount() != columns)
        grid_->setColumnCount(columns);
    // The grid has a fixed size: its inside is known before it is first shown.
    const int width = grid_->width() - 2 * grid_->frameWidth();
    const int height = grid_->height() - 2 * grid_->frameWidth();
    for (int c = 0; c < columns; ++c)
        grid_->setColumnWidth(c, width / columns);
    for (int r = 0; r < kRows; ++r) {
        grid_->setRowHeight(r, height / kRows);
        for (int c = 0; c < columns; ++c) {
            QTableWidgetItem* item = grid_->item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                grid_->setItem(r, c, item);
            }
            item->setText(QString::fromStdString(model.ItemText(r, c)));
        }
    }
}

void CEditImageDialog::ApplyFocus()
{
    switch (command_.model.Focus()) {
    case CEditImageModel::EFocus::Address:
        address_->setFocus();
        address_->selectAll();
        break;
    case CEditImageModel::EFocus::Data:
        data_->setFocus();
        data_->selectAll();
        break;
    case CEditImageModel::EFocus::Unchanged:
        break;
    }
}

void CEditImageDialog::RunGoTo()
{
    StoreFields();
    command_.model.GoTo();
    Refresh();
}

void CEditImageDialog::RunStore()
{
    StoreFields();
    command_.model.Store(View());
    Refresh();
    ApplyFocus();
}

void CEditImageDialog::SelectUnit(int index)
{
    if (index == command_.model.UnitIndex())
        return;
    StoreFields();
    command_.model.SetUnitIndex(index);
    Refresh();
}

void CEditImageDialog::OnScrollAction(int action)
{
    using EScroll = CEditImageModel::EScroll;
    EScroll code;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub: code = EScroll::LineUp; break;
    case QAbstractSlider::SliderSingleStepAdd: code = EScroll::LineDown; break;
    case QAbstractSlider::SliderPageStepSub: code = EScroll::PageUp; break;
    case QAbstractSlider::SliderPageStepAdd: code = EScroll::PageDown; break;
    case QAbstractSlider::SliderToMinimum: code = EScroll::Top; break;
    case QAbstractSlider::SliderToMaximum: code = EScroll::Bottom; break;
    case QAbstractSlider::SliderMove:
        // Dragging moves only the box; the page follows when it is dropped.
        return;
    default: return;
    }
    command_.model.Scroll(code);
    Refresh();
}

bool CEditImageDialog::eventFilter(QObject* watched, QEvent* event)
{
    // The wheel over the page scrolls it line by line, like the arrows.
    if (event->type() == QEvent::Wheel) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        const int steps = wheel->angleDelta().y() / 120;
        for (int i = 0; i < (steps < 0 ? -steps : steps); ++i)
            command_.model.Scroll(steps < 0 ? CEditImageModel::EScroll::LineDown : CEditImageModel::EScroll::LineUp);
        if (steps != 0)
            Refresh();
        return true;
    }
    return CCommandDialog::eventFilter(watched, event);
}
