#include "gui/dialogs/command_dialog.h"

#include "gui/widgets/file_chooser.h"
#include "gui/widgets/qt_message_box.h"
#include "gui/widgets/status_label.h"
#include "gui/widgets/status_line_view.h"

#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>

CCommandDialog::CCommandDialog(const char* objectName, const QString& caption, const SDialogServices& services,
                               QWidget* parent)
    : QDialog(parent),
      box_(services.box),
      chooser_(services.chooser ? services.chooser : &CFileChooser::System()),
      view_(std::make_unique<CStatusLineView>(nullptr))
{
    setObjectName(objectName);
    setWindowTitle(caption);
    if (!box_) {
        ownBox_ = std::make_unique<CQtMessageBox>(this);
        box_ = ownBox_.get();
    }
    help_ = services.help;
    AddHelpKey(this, help_, [this] { return HelpSection(); });
    // Whatever closes the dialog, its values go back to the command.
    connect(this, &QDialog::finished, this, [this] { StoreFields(); });
}

CCommandDialog::~CCommandDialog() = default;

COperationView& CCommandDialog::View() const
{
    return *view_;
}

QLabel* CCommandDialog::CreateStatusLine(QProgressBar* progress)
{
    QLabel* status = MakeStatusLabel(this);
    view_ = std::make_unique<CStatusLineView>(status, progress);
    return status;
}

QPushButton* CCommandDialog::CreateButton(const QString& text, const char* objectName, bool isDefault)
{
    auto* button = new QPushButton(text, this);
    button->setObjectName(objectName);
    if (isDefault)
        button->setDefault(true);
    else
        button->setAutoDefault(false);
    return button;
}

QPushButton* CCommandDialog::CreateCloseButton(const QString& text)
{
    auto* close = new QPushButton(text.isEmpty() ? tr("Close") : text, this);
    close->setObjectName("closeButton");
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    return close;
}

void AddHelpKey(QWidget* dialog, const std::function<void(const QString& section, QWidget* dialog)>& help,
                const std::function<QString()>& section)
{
    if (!help)
        return;
    auto* key = new QShortcut(QKeySequence(Qt::Key_F1), dialog);
    QObject::connect(key, &QShortcut::activated, dialog, [dialog, help, section] { help(section(), dialog); });
}
