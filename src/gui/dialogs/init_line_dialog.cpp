#include "gui/dialogs/init_line_dialog.h"

#include "commands/init_line_editor.h"
#include "gui/dialogs/dialog_services.h"
#include "gui/widgets/hex_edit.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

CInitLineDialog::CInitLineDialog(CInitLineEditor& editor, CMessageBox& box, QWidget* parent,
                                 const std::function<void(const QString&, QWidget*)>& help)
    : QDialog(parent), editor_(editor), box_(box)
{
    setObjectName("initLineDialog");
    setWindowTitle(tr("Edit Init Line"));
    AddHelpKey(this, help, [this] { return windowTitle(); });

    type_ = new QComboBox(this);
    type_->setObjectName("actionTypeCombo");
    for (int code = 0; code < CCodeItem::kActionCount; ++code)
        type_->addItem(QString::fromLatin1(CCodeItem::GetEditorText(code)));
    auto* typeLabel = new QLabel(tr("&Action Type"), this);
    typeLabel->setBuddy(type_);

    auto* digitsOnly = new QRegularExpressionValidator(QRegularExpression("[0-9]*"), this);
    address_ = new CHexEdit(this);
    address_->setObjectName("addressEdit");
    value_ = new CHexEdit(this);
    value_->setObjectName("valueEdit");
    register_ = new QLineEdit(this);
    register_->setObjectName("registerEdit");
    register_->setValidator(digitsOnly);
    register_->setMaxLength(10);
    ms_ = new QLineEdit(this);
    ms_->setObjectName("msEdit");
    ms_->setValidator(digitsOnly);
    ms_->setMaxLength(10);
    comment_ = new QLineEdit(this);
    comment_->setObjectName("commentEdit");
    comment_->setMaxLength(static_cast<int>(CInitLineEditor::kMaxCommentChars));
    auto* commentLabel = new QLabel(tr("&Comment:"), this);
    commentLabel->setBuddy(comment_);

    addressLabel_ = new QLabel(this);
    addressLabel_->setObjectName("addressLabel");
    valueLabel_ = new QLabel(this);
    valueLabel_->setObjectName("valueLabel");

    // Two columns: address over the register number, value over the time.
    auto* fields = new QGridLayout;
    fields->addWidget(typeLabel, 0, 0, 1, 4);
    fields->addWidget(type_, 1, 0, 1, 4);
    fields->addWidget(addressLabel_, 2, 0, 1, 2);
    fields->addWidget(valueLabel_, 2, 2, 1, 2);
    fields->addWidget(address_, 3, 0);
    fields->addWidget(new QLabel(tr("Hex"), this), 3, 1);
    fields->addWidget(value_, 3, 2);
    fields->addWidget(new QLabel(tr("Hex"), this), 3, 3);
    fields->addWidget(register_, 4, 0);
    fields->addWidget(new QLabel(tr("Dec"), this), 4, 1);
    fields->addWidget(ms_, 4, 2);
    fields->addWidget(new QLabel(tr("ms"), this), 4, 3);
    fields->addWidget(commentLabel, 5, 0, 1, 4);
    fields->addWidget(comment_, 6, 0, 1, 4);
    fields->setColumnStretch(0, 1);
    fields->setColumnStretch(2, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("okButton");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("cancelButton");
    connect(buttons, &QDialogButtonBox::accepted, this, &CInitLineDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* top = new QVBoxLayout(this);
    top->addLayout(fields);
    top->addWidget(buttons);
    setMinimumWidth(fontMetrics().averageCharWidth() * 48);

    type_->setCurrentIndex(editor_.code);
    address_->Bind(&editor_.addressField);
    value_->Bind(&editor_.valueField);
    LoadFields();
    ApplyLayout();
    connect(type_, &QComboBox::currentIndexChanged, this, &CInitLineDialog::ChangeType);
    type_->setFocus();
}

CInitLineDialog::~CInitLineDialog() = default;

void CInitLineDialog::StoreFields()
{
    address_->Store();
    value_->Store();
    editor_.msText = ms_->text().toStdString();
    editor_.registerText = register_->text().toStdString();
    editor_.comment = comment_->text().toLatin1().toStdString();
}

void CInitLineDialog::LoadFields()
{
    address_->Load();
    value_->Load();
    ms_->setText(QString::fromStdString(editor_.msText));
    register_->setText(QString::fromStdString(editor_.registerText));
    comment_->setText(QString::fromLatin1(editor_.comment.c_str()));
}

void CInitLineDialog::ApplyLayout()
{
    const CInitLineEditor::SLayout layout = editor_.Layout();
    address_->setEnabled(layout.address);
    value_->setEnabled(layout.value);
    ms_->setEnabled(layout.ms);
    register_->setEnabled(layout.reg);
    addressLabel_->setText(QString::fromLatin1(layout.addressLabel));
    valueLabel_->setText(QString::fromLatin1(layout.valueLabel));
}

void CInitLineDialog::ChangeType(int code)
{
    StoreFields();
    editor_.ChangeType(code, box_);
    LoadFields();
    ApplyLayout();
}

void CInitLineDialog::accept()
{
    StoreFields();
    editor_.code = type_->currentIndex();
    if (!editor_.Read(box_))
        return;
    QDialog::accept();
}
