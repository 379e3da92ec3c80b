#include "gui/dialogs/print_comment_dialog.h"

#include "commands/print_comment_command.h"
#include "gui/dialogs/dialog_services.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {

QLineEdit* HeaderEdit(QWidget* parent, const char* name, const std::string& text)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setMaxLength(static_cast<int>(CPrintCommentCommand::kMaxHeader));
    edit->setText(QString::fromStdString(text));
    edit->setMinimumWidth(edit->fontMetrics().averageCharWidth() * 50);
    return edit;
}

} // namespace

CPrintCommentDialog::CPrintCommentDialog(CPrintCommentCommand& command, QWidget* parent,
                                         const std::function<void(const QString&, QWidget*)>& help)
    : QDialog(parent), command_(command)
{
    setWindowTitle(tr("Print Comment"));
    AddHelpKey(this, help, [this] { return windowTitle(); });
    setObjectName("printCommentDialog");

    left_ = HeaderEdit(this, "leftHeaderEdit", command_.headerLeft);
    right_ = HeaderEdit(this, "rightHeaderEdit", command_.headerRight);
    title_ = HeaderEdit(this, "titleEdit", command_.setupTitle);
    comment_ = new QPlainTextEdit(this);
    comment_->setObjectName("commentEdit");
    comment_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab types a tab (the report sets the comment's tab stops); Ctrl+Tab
    // moves on to the next control.
    comment_->setTabChangesFocus(false);
    comment_->setTabStopDistance(8 * comment_->fontMetrics().horizontalAdvance(QLatin1Char(' ')));
    comment_->setPlainText(QString::fromStdString(command_.EditComment()));
    comment_->setMinimumHeight(comment_->fontMetrics().lineSpacing() * 8);

    auto* form = new QFormLayout;
    form->addRow(tr("Left header:"), left_);
    form->addRow(tr("Right header:"), right_);
    form->addRow(tr("Diagram title"), title_);
    auto* commentLabel = new QLabel(tr("Comment"), this);
    commentLabel->setBuddy(comment_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName("buttons");
    buttons->button(QDialogButtonBox::Ok)->setObjectName("okButton");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("cancelButton");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* top = new QVBoxLayout(this);
    top->addLayout(form);
    top->addWidget(commentLabel);
    top->addWidget(comment_, 1);
    top->addWidget(buttons);
}

void CPrintCommentDialog::accept()
{
    command_.headerLeft = left_->text().toStdString();
    command_.headerRight = right_->text().toStdString();
    command_.setupTitle = title_->text().toStdString();
    command_.SetEditComment(comment_->toPlainText().toStdString());
    QDialog::accept();
}
