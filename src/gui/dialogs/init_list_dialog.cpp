#include "gui/dialogs/init_list_dialog.h"

#include "commands/init_line_editor.h"
#include "commands/init_list_command.h"
#include "commands/init_list_editor.h"
#include "gui/dialogs/init_line_dialog.h"
#include "gui/widgets/init_list_clipboard.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// A dialog unit across is a quarter of the font's average character width.
int DialogUnits(const QWidget* widget, int units)
{
    return widget->fontMetrics().averageCharWidth() * units / 4;
}

} // namespace

CInitListDialog::CInitListDialog(CInitListCommand& command, const SDialogServices& services, QWidget* parent)
    : CCommandDialog("initListDialog", QString::fromLatin1(command.Name()), services, parent),
      command_(command),
      editor_(std::make_unique<CInitListEditor>(command.list)),
      clipboard_(new CInitListClipboard(this))
{
    list_ = new QTreeWidget(this);
    list_->setObjectName("initList");
    list_->setColumnCount(4);
    list_->setHeaderLabels({tr("Type"), tr("Address"), tr("Value"), tr("Comment")});
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setAllColumnsShowFocus(true);
    // The columns stand at 32, 80 and 128 dialog units, or wider where the
    // font needs more room for a mnemonic or an address in full.
    const QFontMetrics metrics = list_->fontMetrics();
    const int padding = 2 * metrics.averageCharWidth();
    list_->setColumnWidth(0, std::max(DialogUnits(list_, 32), metrics.horizontalAdvance("WCPSR") + padding));
    // A whole 0xFFFFFFFF, with the cell's margins and the column's gap.
    const int number = metrics.horizontalAdvance("0xFFFFFFFF") + 2 * padding;
    list_->setColumnWidth(1, std::max(DialogUnits(list_, 48), number));
    list_->setColumnWidth(2, std::max(DialogUnits(list_, 48), number));
    list_->setTextElideMode(Qt::ElideRight);
    list_->header()->setStretchLastSection(true);
    list_->setMinimumSize(list_->columnWidth(0) + list_->columnWidth(1) + list_->columnWidth(2) +
                              DialogUnits(list_, 100),
                          metrics.height() * 14);

    auto makeButton = [this](const QString& text, const char* name) {
        auto* button = new QPushButton(text, this);
        button->setObjectName(name);
        button->setAutoDefault(false);
        return button;
    };
    new_ = makeButton(tr("&New"), "newButton");
    copy_ = makeButton(tr("&Copy"), "copyButton");
    paste_ = makeButton(tr("&Paste"), "pasteButton");
    edit_ = makeButton(tr("&Edit"), "editButton");
    delete_ = makeButton(tr("&Delete"), "deleteButton");
    auto* ok = CreateButton(tr("OK"), "okButton", true);
    auto* cancel = makeButton(tr("Cancel"), "cancelButton");

    auto* column = new QVBoxLayout;
    for (QPushButton* b : {new_, copy_, paste_, edit_, delete_})
        column->addWidget(b);
    column->addStretch(1);
    column->addWidget(ok);
    column->addWidget(cancel);

    auto* top = new QHBoxLayout(this);
    top->addWidget(list_, 1);
    top->addLayout(column);

    connect(new_, &QPushButton::clicked, this, &CInitListDialog::NewEntry);
    connect(copy_, &QPushButton::clicked, this, &CInitListDialog::CopyEntries);
    connect(paste_, &QPushButton::clicked, this, &CInitListDialog::PasteEntries);
    connect(edit_, &QPushButton::clicked, this, &CInitListDialog::EditEntry);
    connect(delete_, &QPushButton::clicked, this, &CInitListDialog::DeleteEntries);
    connect(ok, &QPushButton::clicked, this, &CInitListDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &CInitListDialog::TakeSelection);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { EditEntry(); });
    connect(clipboard_, &CInitListClipboard::Changed, this, &CInitListDialog::UpdateButtons);
    // The list's own Ctrl+C would put one cell's text on the clipboard.
    list_->installEventFilter(this);

    ShowLines();
    list_->setFocus();
}

CInitListDialog::~CInitListDialog() = default;

QPushButton* CInitListDialog::ButtonForKey(const QKeyEvent& key) const
{
    if (key.matches(QKeySequence::Copy))
        return copy_;
    if (key.matches(QKeySequence::Paste))
        return paste_;
    if (key.matches(QKeySequence::Delete) || (key.key() == Qt::Key_Delete && key.modifiers() == Qt::NoModifier))
        return delete_;
    return nullptr;
}

bool CInitListDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == list_ && (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)) {
        const auto& key = static_cast<const QKeyEvent&>(*event);
        if (QPushButton* button = ButtonForKey(key)) {
            // The list takes the key itself, before any shortcut, and runs
            // the button's command when the button could be pressed.
            event->accept();
            if (event->type() == QEvent::KeyPress && button->isEnabled())
                button->click();
            return true;
        }
    }
    return CCommandDialog::eventFilter(watched, event);
}

void CInitListDialog::ShowLines()
{
    showing_ = true;
    list_->clear();
    QList<QTreeWidgetItem*> items;
    for (const std::string& line : editor_->Lines()) {
        QStringList columns = QString::fromLatin1(line.c_str()).split('\t');
        while (columns.size() > 4)
            columns[3] += '\t' + columns.takeAt(4);
        items.append(new QTreeWidgetItem(columns));
    }
    list_->addTopLevelItems(items);
    for (size_t row : editor_->Selection())
        list_->topLevelItem(static_cast<int>(row))->setSelected(true);
    if (!editor_->Selection().empty())
        list_->setCurrentItem(list_->topLevelItem(static_cast<int>(editor_->Selection().front())),
                              0, QItemSelectionModel::NoUpdate);
    showing_ = false;
    UpdateButtons();
}

void CInitListDialog::TakeSelection()
{
    if (showing_)
        return;
    std::vector<size_t> rows;
    for (const QModelIndex& index : list_->selectionModel()->selectedRows())
        rows.push_back(static_cast<size_t>(index.row()));
    editor_->Select(std::move(rows));
    UpdateButtons();
}

void CInitListDialog::UpdateButtons()
{
    const CInitListEditor::SButtons b = editor_->Buttons(CInitListClipboard::HasContent());
    new_->setEnabled(b.newEntry);
    copy_->setEnabled(b.copy);
    paste_->setEnabled(b.paste);
    edit_->setEnabled(b.edit);
    delete_->setEnabled(b.remove);
}

void CInitListDialog::NewEntry()
{
    CInitLineEditor line(CInitListEditor::NewEntry());
    CInitLineDialog dialog(line, Box(), this, Help());
    if (dialog.exec() != QDialog::Accepted)
        return;
    editor_->InsertNew(line.Item());
    ShowLines();
}

void CInitListDialog::EditEntry()
{
    const std::optional<CCodeItem> entry = editor_->EditedEntry();
    if (!entry)
        return;
    CInitLineEditor line(*entry);
    CInitLineDialog dialog(line, Box(), this, Help());
    if (dialog.exec() != QDialog::Accepted)
        return;
    editor_->ReplaceEdited(line.Item());
    ShowLines();
}

void CInitListDialog::DeleteEntries()
{
    if (editor_->Delete(Box()))
        ShowLines();
}

void CInitListDialog::CopyEntries()
{
    const std::optional<std::string> data = editor_->Copy(Box());
    if (!data)
        return;
    CInitListClipboard::Put(*data);
    ShowLines();
}

void CInitListDialog::PasteEntries()
{
    const std::optional<CInitListClipboard::SContent> content = CInitListClipboard::Take();
    if (!content)
        return;
    if (content->entries)
        editor_->Paste(content->bytes, Box());
    else
        editor_->PasteText(content->bytes, Box());
    ShowLines();
}

QString CInitListDialog::HelpSection() const
{
    // The caption is the list's name; the manual has one section for all five.
    return QStringLiteral("Target Init List");
}

void CInitListDialog::accept()
{
    editor_->StoreInto(command_.list);
    QDialog::accept();
}
