#include "gui/dialogs/comm_setup_dialog.h"

#include "commands/comm_setup_command.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

CCommSetupDialog::CCommSetupDialog(CCommSetupCommand& command, const SDialogServices& services, QWidget* parent)
    : CCommandDialog("commSetupDialog", tr("Communication Setup"), services, parent), command_(command)
{
    auto* channelBox = new QGroupBox(tr("Channel"), this);
    auto* channelColumn = new QVBoxLayout(channelBox);
    auto* channelGroup = new QButtonGroup(this);
    const QString channelTexts[5] = {tr("COM&1"), tr("COM&2"), tr("COM&3"), tr("COM&4"), tr("&Network")};
    for (int i = 0; i < 5; ++i) {
        channels_[i] = new QRadioButton(channelTexts[i], channelBox);
        channels_[i]->setObjectName(i < 4 ? QString("com%1Radio").arg(i + 1) : QString("networkRadio"));
        channelGroup->addButton(channels_[i], i);
        channelColumn->addWidget(channels_[i]);
    }

    auto* baudBox = new QGroupBox(tr("Baudrate"), this);
    auto* baudColumn = new QVBoxLayout(baudBox);
    auto* baudGroup = new QButtonGroup(this);
    const char* baudTexts[5] = {"9600", "19200", "38400", "57600", "115200"};
    for (int i = 0; i < 5; ++i) {
        bauds_[i] = new QRadioButton(QString::fromLatin1(baudTexts[i]), baudBox);
        bauds_[i]->setObjectName(QString("baud%1Radio").arg(baudTexts[i]));
        baudGroup->addButton(bauds_[i], i);
        baudColumn->addWidget(bauds_[i]);
    }

    ip_ = new QLineEdit(this);
    ip_->setObjectName("ipEdit");
    ip_->setMaxLength(static_cast<int>(CCommSetup::kMaxIpLength));
    auto* ipLabel = new QLabel(tr("&IP Address:"), this);
    ipLabel->setBuddy(ip_);

    auto* ok = CreateButton(tr("OK"), "okButton", true);
    auto* cancel = CreateButton(tr("Cancel"), "cancelButton");
    auto* test = CreateButton(tr("&Test"), "testButton");

    auto* groups = new QHBoxLayout;
    groups->addWidget(channelBox);
    groups->addWidget(baudBox);
    auto* left = new QVBoxLayout;
    left->addLayout(groups);
    left->addWidget(ipLabel);
    left->addWidget(ip_);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addSpacing(12);
    buttons->addWidget(test);
    buttons->addStretch(1);
    auto* top = new QHBoxLayout(this);
    top->addLayout(left);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    LoadFields();
    connect(ok, &QPushButton::clicked, this, &CCommSetupDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(test, &QPushButton::clicked, this, &CCommSetupDialog::TestLink);
}

CCommSetupDialog::~CCommSetupDialog() = default;

void CCommSetupDialog::LoadFields()
{
    const SCommSettings& s = command_.settings;
    for (int i = 0; i < 5; ++i) {
        channels_[i]->setChecked(i == s.channel);
        bauds_[i]->setChecked(i == s.baud);
    }
    ip_->setText(QString::fromStdString(s.ipAddress));
}

void CCommSetupDialog::StoreFields()
{
    SCommSettings& s = command_.settings;
    for (int i = 0; i < 5; ++i) {
        if (channels_[i]->isChecked())
            s.channel = i;
        if (bauds_[i]->isChecked())
            s.baud = i;
    }
    s.ipAddress = ip_->text().toLatin1().toStdString();
}

void CCommSetupDialog::accept()
{
    StoreFields();
    if (!command_.Accept())
        return;
    QDialog::accept();
}

void CCommSetupDialog::TestLink()
{
    // The test uses the values as they stand; only OK keeps them, and the
    // command stores nothing for a dialog that was not accepted.
    StoreFields();
    command_.TestLink(View());
}
