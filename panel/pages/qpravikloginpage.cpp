#include "panel/pages/qpravikloginpage.h"

#include <QLabel>
#include <QLineEdit>

#include "link/ccom.h"
#include "link/frontpanelcom.h"
#include "link/programversion.h"
#include "link/protocolkeys.h"
#include "model/tcomrequesthelper.h"
#include "model/unitfirmware.h"
#include "panel/kit/controls.h"
#include "panel/kit/virtualkeyboard.h"
#include "panel/pages/qpravikwindow.h"
#include "panel/settings/qpraviksettingspage.h"

namespace {

constexpr std::uint32_t kUnknownVersion = 0x00FFFFFF;
const char* const kAccessLevelProperty = "vkb_accessLevel";

void setColours(QWidget* w, const QColor& window, const QColor& text)
{
    QPalette palette = w->palette();
    palette.setColor(QPalette::All, QPalette::Window, window);
    palette.setColor(QPalette::All, QPalette::WindowText, text);
    w->setPalette(palette);
}

QFont pixelFont(const QWidget* w, int pixelSize)
{
    QFont font = w->font();
    font.setPixelSize(pixelSize);
    return font;
}

} // namespace

QPravikLoginPage::QPravikLoginPage(QPravikWindow* parent)
    : QWidget(parent)
    , window(parent)
{
    const struct
    {
        QPravikSwitch** button;
        const char* label;
        int y;
    } levels[] = {
        {&operatorSwitch, QT_TR_NOOP("Operator"), 115},
        {&expertSwitch, QT_TR_NOOP("Expert"), 175},
        {&administratorSwitch, QT_TR_NOOP("Administrator"), 235},
    };
    for (const auto& level : levels) {
        auto* button = new QPravikSwitch(this);
        button->setGeometry(285, level.y, 60, 34);
        button->setCheckable(true);
        connect(button, &QPravikSwitch::clicked, this, &QPravikLoginPage::switchClicked);
        *level.button = button;

        auto* label = new QLabel(tr(level.label), this);
        label->setGeometry(355, level.y - 5, 160, 44);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->setFont(pixelFont(this, 18));
        setColours(label, QColor(50, 50, 50), Qt::white);
    }

    loginButton = new QPravikButton(this);
    loginButton->setGeometry(240, 300, 150, 66);
    loginButton->borderWidth = 4;
    loginButton->setText(tr("Log in"));
    loginButton->setFont(pixelFont(this, 18));
    setColours(loginButton, Qt::white, Qt::black);
    connect(loginButton, &QPravikButton::clicked, this, &QPravikLoginPage::buttonClicked);
}

void QPravikLoginPage::showEvent(QShowEvent* event)
{
    QPravikSwitch* const switches[] = {operatorSwitch, expertSwitch, administratorSwitch};
    for (int level = OperatorLevel; level <= AdministratorLevel; ++level) {
        switches[level]->setChecked(level == currentAccessLevel);
        switches[level]->setEnabled(level != currentAccessLevel);
    }
    QWidget::showEvent(event);
}

// A radio group that cannot be emptied: the checked switch is disabled.
void QPravikLoginPage::switchClicked()
{
    for (QPravikSwitch* button : {operatorSwitch, expertSwitch, administratorSwitch}) {
        button->setChecked(button == sender());
        button->setEnabled(button != sender());
    }
}

void QPravikLoginPage::buttonClicked()
{
    if (sender() != loginButton || !window)
        return;
    zel::CCom* session = frontPanelCom();
    if (session->state() != RpcConnection::ConnectedState) {
        window->showMessage(tr("Not connected!"), 0);
        return;
    }

    TCommand request(TCommand::Param);
    request.setParam(wire::key::target(), wire::target::general());
    request.addGet("device");
    request.addGet("version");
    request.addGet("builddate");
    TComRequestHelper helper(session);
    TComRequestHelper::ValueMap values;
    TComRequestHelper::ValueMap errors;
    // Keys the unit echoes beside the asked ones do not count.
    helper.getParams(request, values, errors, 5000);
    if (!TComRequestHelper::allAnswered(request, values)) {
        window->showMessage(tr("Not connected!"), 0);
        return;
    }
    if (values["device"] != "pravik") {
        window->showMessage(tr("Remote device is not\na Velto!"), 0);
        return;
    }

    const std::string& version = values["version"];
    if (version.empty()) {
        unitFirmwareVersion = kUnknownVersion;
    } else {
        unitFirmwareVersion = parseVersionString(version);
        const std::uint32_t known = parseVersionString(KandeloVersionText);
        if ((unitFirmwareVersion & 0xFFFF00u) > (known & 0xFFFF00u)) {
            window->showMessage(tr("Newer firmware detected on this\nunit (Version %1)\n\n"
                                   "An update of the \"Kandelo\" application is recommended "
                                   "to access all the features of the device")
                                    .arg(QString::fromStdString(version)),
                                0);
        }
    }

    const int level = administratorSwitch->isChecked() ? AdministratorLevel
                      : expertSwitch->isChecked()      ? ExpertLevel
                                                       : OperatorLevel;
    checkLevel(level);
}

void QPravikLoginPage::checkLevel(int level)
{
    QPravikSettingsPage* settings = window->settingsPage();
    // Without the unit's passwords nobody can be checked, so nobody gets in.
    if (!settings || !settings->readPasswords()) {
        window->showMessage(tr("Not connected!"), 0);
        return;
    }
    if (settings->passwordForLevel(level).isEmpty()) {
        logIn(level);
        return;
    }

    auto* keyboard = new QPravikVirtual(1, this);
    keyboard->setWindowModality(Qt::ApplicationModal);
    keyboard->move(mapToGlobal(QPoint(0, 0))
                   + QPoint((width() - keyboard->width()) / 2, (height() - keyboard->height()) / 2));
    keyboard->titleLabel.setText(tr("Enter Password"));
    keyboard->lineEdit.setText(QString());
    keyboard->lineEdit.setEchoMode(QLineEdit::Password);
    keyboard->setProperty(kAccessLevelProperty, level);
    connect(keyboard, &QPravikPopup::popupClosed, this, &QPravikLoginPage::keyboardClosed);
    keyboard->show();
}

void QPravikLoginPage::keyboardClosed()
{
    auto* keyboard = qobject_cast<QPravikVirtual*>(sender());
    if (!keyboard || !window || keyboard->cancelled)
        return;
    keyboard->hide();
    const int level = keyboard->property(kAccessLevelProperty).toInt();
    QPravikSettingsPage* settings = window->settingsPage();
    if (settings && keyboard->lineEdit.text() == settings->passwordForLevel(level))
        logIn(level);
    else
        window->showMessage(tr("Wrong password!"), 0);
}

void QPravikLoginPage::logIn(int level)
{
    const int before = currentAccessLevel;
    currentAccessLevel = level;
    window->pageActivated(QPravik::PageMain);
    // The link may have dropped while the password keyboard was open: no main
    // page then, and nobody logged in.
    if (window->page() != QPravik::PageMain) {
        currentAccessLevel = before;
        return;
    }
    window->sendLoginInfo();
}
