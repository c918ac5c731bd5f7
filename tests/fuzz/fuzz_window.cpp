// The panel window as an operator meets it, logged in on a unit that refuses
// every write: its pages' controls worked by the operator, between messages
// of the unit routed to the models and pages (levels, changesets, update
// progress, remote numbers, display and record status, call events).
//
// Input: two bytes, then one line a step:
//   byte 0  the page shown after the login (low four bits, kPages), the
//           access level (bits 4-5)
//   byte 1  the firmware (bits 0-2, kVersions), extended operation mode
//           (bit 3), the hardware variant (bits 4-5), the Ravenna module
//           (bit 6), a Dante module (bit 7)
//   lines   "=values": what the unit answers for its matrix and audio
//           settings at the login (every "=" line, before the login);
//           "@" and bytes: an operator step on the page shown (a control
//           picked among the page's visible ones, what is done to it, what is
//           done to a popup it opens, the text a keyboard takes);
//           anything else: a message of the unit, as the window receives it.
// These hold:
// - A message of the unit writes nothing.
// - An operator step leaves every model as it was (the unit took nothing),
//   every control of the page shown before it showing what it showed, and,
//   when it wrote, one message box open. A redraw of every page from the
//   models then changes no control either: each showed its model's value.

#include "fuzzcheck.h"

#include "audio/taudiosettings.h"
#include "audio/tmatrixsettings.h"
#include "link/rpcmessage.h"
#include "link/valuetext.h"
#include "model/tcomdevice.h"
#include "panel/kit/audiostrip.h"
#include "panel/kit/controls.h"
#include "panel/kit/popup.h"
#include "panel/kit/virtualkeyboard.h"
#include "panel/pages/qpravikheadphonepopups.h"
#include "tests/support/panelfixture.h"

#include <QApplication>
#include <QMouseEvent>


namespace {

PanelFixture* panel = nullptr;

const QPravik::Page kPages[] = {QPravik::PageMain,          QPravik::PageConnection,     QPravik::PageAudio,
                                QPravik::PageAudioInput,    QPravik::PageAudioAuxiliary, QPravik::PageAudioOutput,
                                QPravik::PageHeadphone1,    QPravik::PageHeadphone2,     QPravik::PageHeadphone3,
                                QPravik::PageHeadphone4};
const char* const kVersions[] = {"1.5.3", "1.6.5", "1.7.3", "1.12.0", "1.13.2", "2.0.9"};

void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// A request that changes the unit: neither a read nor a subscription.
bool writes(const QByteArray& body)
{
    TCommand request;
    TCommand::parse(body.toStdString(), request);
    const std::string& action = *request.param("action");
    return request.requestKind() != TCommand::GetRequest && request.requestKind() != TCommand::ListRequest
           && action != "subscribe" && action != "unsubscribe" && action != "request";
}

int countWrites(const QByteArrayList& bodies)
{
    int count = 0;
    for (const QByteArray& body : bodies)
        count += writes(body);
    return count;
}

// Every value the models hold of the unit, as one text.
QString models()
{
    const TAudioSettings* a = frontPanelAudioSettings();
    QString text = QString::asprintf(
        "audio %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %g %d %d %d %d "
        "%d %d %s|",
        a->input1Gain(), a->input1Power(), a->input1Limiter(), a->input2Gain(), a->input2Power(), a->input2Limiter(),
        a->input2Pair(), a->input3Gain(), a->input3Power(), a->input3Level(), a->input3Limiter(), a->input3Filter(),
        a->input3Pad(), a->input4Gain(), a->input4Level(), a->input4Limiter(), a->input4Filter(), a->input4Pad(),
        a->input4Pair(), a->lineOutputLevel(), a->lineOutput2Level(), a->limiterThreshold(), a->inputSource(),
        a->waveShortcut(), a->drcState(), a->drcLimThreshold(), a->drcThresholdCmp(), a->drcAttack(), a->auxPair(),
        double(a->drcRatio()), a->aesPair(), a->ravInPair(), a->ravOutPair(), a->linePair(), a->auxiliaryBoard(),
        int(a->waveFile().size()), a->audioProfile().c_str());
    const TMatrixSettings* m = frontPanelMatrixSettings();
    for (int i = 0; i < matrixwire::kInputs; ++i) {
        text += QString::asprintf("in%d %g %s:", i, double(m->inputGain(i)), qPrintable(m->inputName(i)));
        for (int o = 0; o < matrixwire::kOutputs; ++o)
            text += QString::asprintf(" %d/%g/%d", m->isNodeOn(i, o), double(m->nodeGain(i, o)), m->nodeBalance(i, o));
        text += QLatin1Char('|');
    }
    for (int o = 0; o < matrixwire::kOutputs; ++o)
        text += QString::asprintf("out%d %g %d ", o, double(m->outputGain(o)), m->copySource(o));
    text += QString::asprintf("opt %x mgn %x vol %x", unsigned(m->options()), unsigned(m->masterGains()),
                              unsigned(m->volumes()));
    for (int n = 0; n < 4; ++n) {
        const auto word = m->programOutput(n);
        text += QString::asprintf(" po%d %x%x%x%x", n, word[0], word[1], word[2], word[3]);
    }
    for (int input : headphoneKnobInputs)
        text += QString::asprintf(" k%d", input);
    return text;
}

// Shown as the page is drawn, whether or not the page is on the screen now.
bool shown(const QWidget* widget, const QWidget* page)
{
    return widget->isVisibleTo(page);
}

// What the page's visible controls show.
QStringList controls(QWidget* page)
{
    QStringList values;
    for (QWidget* w : page->findChildren<QWidget*>()) {
        if (!shown(w, page) || qobject_cast<QPravikPopup*>(w->window()) != nullptr)
            continue;
        if (auto* strip = qobject_cast<QPravikAudioBase*>(w))
            values << QStringLiteral("strip %1 %2 %3 %4").arg(strip->input()).arg(strip->gain()).arg(strip->panning()).arg(strip->name());
        else if (auto* knob = qobject_cast<QPravikKnob*>(w))
            values << QStringLiteral("knob %1").arg(knob->value());
        else if (auto* button = qobject_cast<QAbstractButton*>(w))
            values << QStringLiteral("button %1 %2").arg(button->isCheckable() && button->isChecked()).arg(button->text());
    }
    return values;
}

// The controls an operator can work on the page, in a stable order.
QList<QWidget*> operable(QWidget* page)
{
    QList<QWidget*> list;
    for (QWidget* w : page->findChildren<QWidget*>()) {
        if (!shown(w, page) || !w->isEnabled())
            continue;
        if (qobject_cast<QPravikKnob*>(w) || qobject_cast<QAbstractButton*>(w) || qobject_cast<QPravikAudioButton*>(w))
            list << w;
    }
    return list;
}

void key(QWidget* target, int code)
{
    QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
}

QPravikPopup* openPopup()
{
    for (QPravikPopup* popup : panel->window->findChildren<QPravikPopup*>())
        if (popup->isVisible() && !qobject_cast<QPravikMessage*>(popup))
            return popup;
    for (QPravikMessage* box : panel->window->findChildren<QPravikMessage*>())
        if (box->isVisible() && box->buttons != 0)
            return box;
    return nullptr;
}

void clickText(QWidget* popup, const QString& text)
{
    for (QAbstractButton* button : popup->findChildren<QAbstractButton*>())
        if (button->text() == text && button->isVisible()) {
            button->click();
            return;
        }
}

// The operator's answer to a popup the step opened: turns and presses,
// then OK or Cancel.
void answerPopup(QPravikPopup* popup, std::uint8_t action, const QString& text)
{
    const bool ok = action & 1;
    if (auto* keyboard = qobject_cast<QPravikVirtual*>(popup)) {
        keyboard->lineEdit.setText(text);
        keyboard->keys[ok ? VirtualKeyboardKeyCount - 1 : VirtualKeyboardKeyCount - 4]->click();
        return;
    }
    QWidget* target = popup;
    if (auto* knob = popup->findChild<QPravikKnob*>())
        target = knob;
    for (int i = 0; i < (action >> 1 & 3); ++i)
        key(target, action & 8 ? Qt::Key_Minus : Qt::Key_Plus);
    if (action & 16)
        key(target, Qt::Key_Return);
    if (popup->isVisible())
        clickText(popup, ok ? QStringLiteral("OK") : QStringLiteral("Cancel"));
    if (popup->isVisible())
        popup->close();
}

void operate(QWidget* control, std::uint8_t action)
{
    if (auto* knob = qobject_cast<QPravikKnob*>(control)) {
        knob->setChecked(true);
        const int steps = 1 + (action >> 2 & 3);
        for (int i = 0; i < steps; ++i)
            key(knob, action & 1 ? Qt::Key_Minus : Qt::Key_Plus);
        if (action & 2)
            key(knob, Qt::Key_Return);
        knob->setChecked(false);
    } else if (auto* slot = qobject_cast<QPravikAudioButton*>(control)) {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), slot->mapToGlobal(QPointF(5, 5)),
                          action & 1 ? Qt::RightButton : Qt::LeftButton, action & 1 ? Qt::RightButton : Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(slot, &press);
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->click();
    }
}

// The models as they are, drawn anew on every page.
void redrawAll()
{
    emit frontPanelMatrixSettings()->controllerStateChanged(frontPanelMatrixSettings());
    emit frontPanelAudioSettings()->controllerStateChanged(frontPanelAudioSettings());
    settle();
}

// Equal, or the first difference told on stderr, for whoever reads a finding.
bool same(const QStringList& now, const QStringList& before, const char* what)
{
    if (now == before)
        return true;
    for (qsizetype i = 0; i < qMax(now.size(), before.size()); ++i) {
        if (now.value(i) != before.value(i)) {
            std::fprintf(stderr, "%s %lld: \"%s\" was \"%s\"\n", what, static_cast<long long>(i),
                         qPrintable(now.value(i)), qPrintable(before.value(i)));
            break;
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    static int argc = 1;
    static char name[] = "fuzz_window";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(fuzz::silentMessageHandler);
    new QApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    const std::uint8_t pageByte = input.byte();
    const std::uint8_t unitByte = input.byte();
    std::vector<std::string> lines;
    splitAny(input.rest(), lines, "\n");

    // Each input is a run of the program: its window goes before the models
    // do, as the program's does, or a model's last signals would reach a
    // window of freed pages.
    PanelFixture fixture;
    panel = &fixture;
    panel->takesWrites = false;
    panel->version = kVersions[(unitByte & 7) % std::size(kVersions)];
    panel->level = qMin(pageByte >> 4 & 3, 2);
    static const char* const hardware[] = {"", ",hardware_1", ",hardware_2", ",hardware_3"};
    panel->deviceOptions = QByteArray("record_1") + hardware[unitByte >> 4 & 3] + (unitByte & 64 ? ",ravenna" : "")
                           + (unitByte & 128 ? ",ravenna_2" : "");
    panel->deviceValues.replace(unitByte & 8 ? "operation_mode:standard" : "operation_mode:extended",
                                unitByte & 8 ? "operation_mode:extended" : "operation_mode:standard");
    panel->matrixValues = "matrix_opt:00000000;";
    panel->audioValues = "auxiliary_board:yes;";
    for (const std::string& line : lines) {
        if (!line.empty() && line[0] == '=') {
            panel->matrixValues += QByteArray::fromStdString(line.substr(1)) + ';';
            panel->audioValues += QByteArray::fromStdString(line.substr(1)) + ';';
        }
    }
    if (!panel->login())
        return 0;
    if (!panel->open(kPages[(pageByte & 15) % std::size(kPages)]))
        return 0;
    settle();
    panel->unit.clearReceived();

    for (const std::string& line : lines) {
        if (line.empty() || line[0] == '=')
            continue;
        if (line[0] != '@') {
            TCommand message;
            TCommand::parse(line, message);
            panel->window->messageReceived(RpcMessage::createSignal(message));
            settle();
            FUZZ_CHECK(countWrites(panel->unit.takeRequestBodies()) == 0);
            continue;
        }
        fuzz::Input step(reinterpret_cast<const std::uint8_t*>(line.data()) + 1, line.size() - 1);
        QWidget* page = panel->window->pageWidget(panel->window->page());
        const QList<QWidget*> list = operable(page);
        if (list.isEmpty())
            continue;
        QWidget* control = list[step.byte() % list.size()];
        const std::uint8_t action = step.byte();
        const std::uint8_t popupAction = step.byte();
        const QString text = QString::fromLatin1(step.rest());
        const QString modelsBefore = models();
        const QStringList before = controls(page);

        operate(control, action);
        settle();
        if (QPravikPopup* popup = openPopup()) {
            answerPopup(popup, popupAction, text);
            settle();
        }
        const QByteArrayList sent = panel->unit.takeRequestBodies();
        const int written = countWrites(sent);
        if (qEnvironmentVariableIsSet("FUZZ_WINDOW_TRACE"))
            std::fprintf(stderr, "page %d: %s %s -> %s\n", panel->window->page(), control->metaObject()->className(),
                         qPrintable(control->objectName()), sent.join(' ').constData());
        FUZZ_CHECK(panel->openMessages().size() <= 1);
        FUZZ_CHECK(written == 0 || panel->openMessages().size() == 1);
        panel->closeMessages();
        FUZZ_CHECK(same(models().split(QLatin1Char('|')), modelsBefore.split(QLatin1Char('|')), "model"));
        FUZZ_CHECK(same(controls(page), before, "control"));

        redrawAll();
        panel->unit.clearReceived();
        FUZZ_CHECK(same(models().split(QLatin1Char('|')), modelsBefore.split(QLatin1Char('|')), "model"));
        FUZZ_CHECK(same(controls(page), before, "control after a redraw"));
        panel->closeMessages();
        // Steps go on on the panel's own pages.
        if (panel->window->page() == QPravik::PageSettings)
            panel->window->pageActivated(QPravik::PageMain);
    }
    return 0;
}
