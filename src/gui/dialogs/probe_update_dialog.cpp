#include "gui/dialogs/probe_update_dialog.h"

#include "commands/probe_update_command.h"
#include "gui/widgets/worker_bridge.h"
#include "probe/maintenance/probe_version.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

// A shown value, wide enough for `widest`.
QLabel* ValueLabel(QWidget* parent, const char* name, const char* widest = "unknown")
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QString::fromLatin1(widest)) + 8);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QLineEdit* IpEdit(QWidget* parent, const char* name)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setMaxLength(15);
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance("000.000.000.000") + 16);
    return edit;
}

// A step's button: pressed by a click, Space or its mnemonic, never by Enter.
QPushButton* StepButton(QWidget* parent, const QString& text, const char* name)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

QString VersionText(uint16_t version)
{
    return QString::fromStdString(CProbeVersion::Text(version));
}

} // namespace

CProbeUpdateDialog::CProbeUpdateDialog(CQpgDoc& doc, CProbeLibrary& library, const std::string& programDirectory,
                                       const SDialogServices& services, QWidget* parent)
    : CCommandDialog("probeUpdateDialog", tr("QDX7000 Update/Setup"), services, parent),
      bridge_(new CWorkerBridge(this))
{
    // ---- Connect QDX7000 Loader: port, baud rate, Connect, SN and MAC.
    auto* loaderBox = new QGroupBox(tr("Connect QDX7000 Loader"), this);
    auto* portBox = new QGroupBox(tr("Channel"), loaderBox);
    // Two by two, so that the dialog stays low enough for a large font.
    auto* portGrid = new QGridLayout(portBox);
    auto* portGroup = new QButtonGroup(this);
    for (int i = 0; i < 4; ++i) {
        ports_[i] = new QRadioButton(tr("COM&%1").arg(i + 1), portBox);
        ports_[i]->setObjectName(QString("com%1Radio").arg(i + 1));
        portGroup->addButton(ports_[i], i);
        portGrid->addWidget(ports_[i], i / 2, i % 2);
    }
    auto* baudBox = new QGroupBox(tr("Baudrate"), loaderBox);
    auto* baudGrid = new QGridLayout(baudBox);
    auto* baudGroup = new QButtonGroup(this);
    const char* baudTexts[4] = {"9600", "19200", "38400", "57600"};
    for (int i = 0; i < 4; ++i) {
        bauds_[i] = new QRadioButton(QString::fromLatin1(baudTexts[i]), baudBox);
        bauds_[i]->setObjectName(QString("baud%1Radio").arg(baudTexts[i]));
        baudGroup->addButton(bauds_[i], i);
        baudGrid->addWidget(bauds_[i], i / 2, i % 2);
    }
    connect_ = StepButton(loaderBox, tr("&Connect"), "connectButton");
    // Serial numbers have ten characters, MAC texts twelve.
    serial_ = ValueLabel(loaderBox, "serialLabel", "000000000C");
    mac_ = ValueLabel(loaderBox, "macLabel", "0A4D17000000");
    auto* identity = new QGridLayout;
    identity->addWidget(connect_, 0, 0, 1, 2);
    identity->addWidget(new QLabel(tr("SN:"), loaderBox), 1, 0);
    identity->addWidget(serial_, 1, 1);
    identity->addWidget(new QLabel(tr("MAC:"), loaderBox), 2, 0);
    identity->addWidget(mac_, 2, 1);
    identity->setRowStretch(3, 1);
    auto* loaderRow = new QHBoxLayout(loaderBox);
    loaderRow->addWidget(portBox);
    loaderRow->addWidget(baudBox);
    loaderRow->addLayout(identity, 1);

    // ---- QDX7000 Firmware / Logic: the version table, Current, Update.
    auto* versionBox = new QGroupBox(tr("QDX7000 Firmware / Logic"), this);
    loaderCurrent_ = ValueLabel(versionBox, "loaderCurrentLabel");
    firmwareCurrent_ = ValueLabel(versionBox, "firmwareCurrentLabel");
    firmwareNewest_ = ValueLabel(versionBox, "firmwareNewestLabel");
    logicCurrent_ = ValueLabel(versionBox, "logicCurrentLabel");
    logicNewest_ = ValueLabel(versionBox, "logicNewestLabel");
    current_ = StepButton(versionBox, tr("C&urrent"), "currentButton");
    update_ = StepButton(versionBox, tr("U&pdate"), "updateButton");
    auto* table = new QGridLayout(versionBox);
    table->addWidget(new QLabel(tr("Current"), versionBox), 0, 1);
    table->addWidget(new QLabel(tr("Newest"), versionBox), 0, 2);
    table->addWidget(new QLabel(tr("Loader"), versionBox), 1, 0);
    table->addWidget(loaderCurrent_, 1, 1);
    table->addWidget(new QLabel(tr("Firmware"), versionBox), 2, 0);
    table->addWidget(firmwareCurrent_, 2, 1);
    table->addWidget(firmwareNewest_, 2, 2);
    table->addWidget(new QLabel(tr("Logic"), versionBox), 3, 0);
    table->addWidget(logicCurrent_, 3, 1);
    table->addWidget(logicNewest_, 3, 2);
    table->addWidget(current_, 1, 3);
    table->addWidget(update_, 2, 3);
    table->setColumnStretch(2, 1);

    // ---- TCP/IP Configuration: the probe's network setup, Transmit.
    auto* networkBox = new QGroupBox(tr("TCP/IP Configuration"), this);
    ip_ = IpEdit(networkBox, "ipEdit");
    mask_ = IpEdit(networkBox, "subnetMaskEdit");
    gateway_ = IpEdit(networkBox, "gatewayEdit");
    transmit_ = StepButton(networkBox, tr("&Transmit"), "transmitButton");
    auto* network = new QGridLayout(networkBox);
    const std::pair<QString, QLineEdit*> rows[3] = {
        {tr("&IP - Address"), ip_}, {tr("&Subnet Mask"), mask_}, {tr("Default &Gateway"), gateway_}};
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(rows[i].first, networkBox);
        label->setBuddy(rows[i].second);
        network->addWidget(label, i, 0);
        network->addWidget(rows[i].second, i, 1);
    }
    network->addWidget(transmit_, 0, 2);
    network->setColumnStretch(3, 1);

    progress_ = new QProgressBar(this);
    progress_->setObjectName("progressBar");
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(true);
    QLabel* status = CreateStatusLine(progress_);

    ok_ = CreateButton(tr("Ok"), "okButton", true);
    cancel_ = CreateButton(tr("Cancel"), "cancelButton");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(progress_, 1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);

    auto* top = new QVBoxLayout(this);
    top->addWidget(loaderBox);
    top->addWidget(versionBox);
    top->addWidget(networkBox);
    top->addWidget(status);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    // The model reports into this dialog's status line and boxes, from the
    // worker thread through the bridge.
    bridge_->Attach(View(), Box());
    command_ = std::make_unique<CProbeUpdateCommand>(doc, library, *bridge_, *bridge_, programDirectory);
    LoadFields();

    connect(connect_, &QPushButton::clicked, this, &CProbeUpdateDialog::Connect);
    connect(current_, &QPushButton::clicked, this, &CProbeUpdateDialog::Current);
    connect(update_, &QPushButton::clicked, this, &CProbeUpdateDialog::Update);
    connect(transmit_, &QPushButton::clicked, this, &CProbeUpdateDialog::Transmit);
    connect(ok_, &QPushButton::clicked, this, &CProbeUpdateDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &CProbeUpdateDialog::reject);
    connect_->setFocus();
}

CProbeUpdateDialog::~CProbeUpdateDialog() = default;

void CProbeUpdateDialog::StoreFields()
{
    CUpdateSetupModel& m = command_->model;
    for (int i = 0; i < 4; ++i) {
        if (ports_[i]->isChecked())
            m.channel = i;
        if (bauds_[i]->isChecked())
            m.baud = i;
    }
    m.ipAddress = ip_->text().toLatin1().toStdString();
    m.subnetMask = mask_->text().toLatin1().toStdString();
    m.defaultGateway = gateway_->text().toLatin1().toStdString();
}

void CProbeUpdateDialog::LoadFields()
{
    const CUpdateSetupModel& m = command_->model;
    for (int i = 0; i < 4; ++i) {
        ports_[i]->setChecked(i == m.channel);
        bauds_[i]->setChecked(i == m.baud);
    }
    ip_->setText(QString::fromStdString(m.ipAddress));
    mask_->setText(QString::fromStdString(m.subnetMask));
    gateway_->setText(QString::fromStdString(m.defaultGateway));
    // Serial number and MAC stay empty until a connection succeeds.
    serial_->setText(QString::fromStdString(m.serialNumber));
    mac_->setText(QString::fromStdString(m.macAddress));
    loaderCurrent_->setText(VersionText(m.loaderVersion));
    firmwareCurrent_->setText(VersionText(m.firmwareVersion));
    firmwareNewest_->setText(VersionText(m.newestFirmware));
    logicCurrent_->setText(VersionText(m.logicVersion));
    logicNewest_->setText(VersionText(m.newestLogic));
    // While a step runs nothing takes input: what is pressed meanwhile is dropped.
    const bool idle = !Busy();
    connect_->setEnabled(idle && m.ConnectEnabled());
    current_->setEnabled(idle && m.CurrentEnabled());
    update_->setEnabled(idle && m.UpdateEnabled());
    transmit_->setEnabled(idle && m.TransmitEnabled());
    for (QWidget* control : std::initializer_list<QWidget*>{ports_[0], ports_[1], ports_[2], ports_[3], bauds_[0],
                                                            bauds_[1], bauds_[2], bauds_[3], ip_, mask_, gateway_,
                                                            ok_, cancel_})
        control->setEnabled(idle);
}

bool CProbeUpdateDialog::Busy() const
{
    return bridge_->Running();
}

bool CProbeUpdateDialog::RunStep(const std::function<void()>& step)
{
    if (Busy())
        return false;
    StoreFields();
    QWidget* focused = focusWidget();
    // Running() turns true inside Run: the controls are disabled first.
    for (QWidget* control : findChildren<QWidget*>())
        if (qobject_cast<QAbstractButton*>(control) || qobject_cast<QLineEdit*>(control))
            control->setEnabled(false);
    emit busyChanged(true);
    bridge_->Run(step);
    LoadFields();
    if (focused && focused->isEnabled())
        focused->setFocus();
    else
        ok_->setFocus();
    emit busyChanged(false);
    return true;
}

void CProbeUpdateDialog::closeEvent(QCloseEvent* event)
{
    // A step (an update above all) is not cut short: the window waits for it.
    if (Busy()) {
        event->ignore();
        return;
    }
    CCommandDialog::closeEvent(event);
}

void CProbeUpdateDialog::Connect()
{
    RunStep([this] { command_->model.Connect(); });
}

void CProbeUpdateDialog::Current()
{
    RunStep([this] { command_->model.Current(); });
}

void CProbeUpdateDialog::Update()
{
    RunStep([this] { command_->model.Update(); });
}

void CProbeUpdateDialog::Transmit()
{
    RunStep([this] { command_->model.Transmit(); });
}

void CProbeUpdateDialog::accept()
{
    bool ended = false;
    if (!RunStep([this, &ended] { ended = command_->model.Finish(true); }) || !ended)
        return;
    finished_ = true;
    QDialog::accept();
}

void CProbeUpdateDialog::reject()
{
    // Escape during a step is dropped like every other key.
    if (Busy())
        return;
    if (!finished_)
        RunStep([this] { command_->model.Finish(false); });
    finished_ = true;
    QDialog::reject();
}
