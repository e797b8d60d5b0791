#include "synthwindow.h"

#include "automation.h"
#include "envelopeview.h"

#include <orvelkit/binding/conveniences.h>
#include <orvelkit/binding/memproxy.h>
#include <orvelkit/designer/orveluiloader.h>
#include <orvelkit/fader/cfader.h>
#include <orvelkit/labels/chotspotlabel.h>
#include <orvelkit/labels/clabeldisplay.h>
#include <orvelkit/labels/cnameeditor.h>
#include <orvelkit/memory/referencememory.h>
#include <orvelkit/status/ctabwidget.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMenuBar>
#include <QMetaProperty>
#include <QPixmap>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QUndoStack>

#include <algorithm>
#include <memory>

namespace {

// Replaces every picture property of the panel's controls (strips, backgrounds, thumbs) that
// holds a 1x image of the demo by its @2x twin, so that the panel keeps its size and is crisp on
// a 2x screen. Pictures are matched by content, since a form only stores the picture, not where
// it came from.
void useHiDpiStrips(QWidget* panel, qreal ratio)
{
    if (ratio <= 1.0)
        return;
    struct Twin
    {
        QImage one;
        QString twoX;
    };
    QList<Twin> twins;
    QDirIterator it(QStringLiteral(":/synthpanel/images"), {QStringLiteral("*.png")});
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.endsWith(QLatin1String("@2x.png")))
            continue;
        const QString twoX = path.chopped(4) + QStringLiteral("@2x.png");
        if (QFile::exists(twoX))
            twins.append({QPixmap(path).toImage(), twoX});
    }
    for (QWidget* w : panel->findChildren<QWidget*>()) {
        const QMetaObject* mo = w->metaObject();
        for (int i = 0; i < mo->propertyCount(); ++i) {
            const QMetaProperty property = mo->property(i);
            if (property.metaType().id() != QMetaType::QPixmap || !property.isWritable())
                continue;
            const QImage picture = property.read(w).value<QPixmap>().toImage();
            if (picture.isNull())
                continue;
            for (const Twin& twin : twins)
                if (picture.size() == twin.one.size() && picture == twin.one) {
                    property.write(w, QPixmap(twin.twoX));
                    break;
                }
        }
    }
}

} // namespace

QWidget* SynthWindow::loadPanel(TReferenceMemory_Orvel& memory, const QString& mapFile,
                                const QString& formFile, qreal ratio, QString* error)
{
    QString message;
    if (!memory.loadMap(mapFile, &message)) {
        if (error)
            *error = message;
        return nullptr;
    }
    OrvelUiLoader loader(&memory);
    QWidget* panel = loader.load(formFile);
    if (!panel) {
        if (error)
            *error = loader.errorString();
        return nullptr;
    }
    // A control left unbound is a mistake in the form: say which and why.
    QStringList problems;
    for (QWidget* w : panel->findChildren<QWidget*>()) {
        const TMemProxy_Orvel* proxy = memProxyOf(w);
        if (!proxy || proxy->memAPIReady())
            continue;
        const QString address = proxy->namedAddress();
        problems << (address.isEmpty()
                         ? QStringLiteral("%1: %2 has no namedAddress").arg(formFile, w->objectName())
                         : QStringLiteral("%1: %2: namedAddress \"%3\" names no parameter of %4")
                               .arg(formFile, w->objectName(), address, mapFile));
    }
    if (!problems.isEmpty()) {
        delete panel;
        if (error)
            *error = problems.join(QLatin1Char('\n'));
        return nullptr;
    }
    useHiDpiStrips(panel, ratio);
    // The image switcher above the pages is their tab bar; the tab widget's own one goes.
    for (CTabWidget_Orvel* pages : panel->findChildren<CTabWidget_Orvel*>())
        pages->getTabBar()->hide();
    return panel;
}

SynthWindow::SynthWindow(TReferenceMemory_Orvel* memory, QWidget* panel, QWidget* parent)
    : QMainWindow(parent), m_memory(memory), m_panel(panel), m_automation(new Automation(memory, this))
{
    setWindowTitle(QStringLiteral("Synth Panel - orvelkit demo"));
    setCentralWidget(m_panel);

    // Host automation: a few parameters that show the controls following writes from a worker
    // thread. Lanes whose parameter the map lacks are left out.
    const struct
    {
        const char* name;
        double period;
        double phase;
    } lanes[] = {{"filter.cutoff", 4.0, 0.0}, {"lfo.rate", 7.0, 0.25}, {"osc2.detune", 3.0, 0.5},
                 {"filter.resonance", 11.0, 0.1}, {"master.pan", 5.0, 0.75}};
    for (const auto& lane : lanes)
        m_automation->addLane(QString::fromLatin1(lane.name), lane.period, lane.phase);
    // The voice lamps: eight gates rolling round like an arpeggio, each open a third of the time.
    for (int voice = 1; voice <= 8; ++voice)
        m_automation->addGateLane(QStringLiteral("voice.%1").arg(voice), 1.6, (8 - voice) / 8.0, 0.3);

    buildActions();
    watchControls();
    wireDragCaptions();
    wireEditorOpener();
    wirePatchName();
    wireContextMenus();
    updateEditActions();
    showCurrent();
    showAutomationState();
}

SynthWindow::~SynthWindow()
{
    // The worker writes into the memory and notifies the knobs: end it before either goes.
    m_automation->stop();
    // Closing the QWidget part (after this body) moves the focus: stop listening before that,
    // while this is still a SynthWindow.
    disconnect(qApp, nullptr, this, nullptr);
    disconnect(QGuiApplication::clipboard(), nullptr, this, nullptr);
    if (m_patchEditor)
        disconnect(m_patchEditor, nullptr, this, nullptr);
    // Editors opened from the panel are children of this window and go with it; the memory
    // must not hand out a factory that is gone.
    m_memory->setEditorFactory(nullptr);
}

int SynthWindow::pageCount() const
{
    const QTabWidget* pages = m_panel->findChild<QTabWidget*>();
    return pages ? qMax(1, pages->count()) : 1;
}

bool SynthWindow::showPage(int index)
{
    if (index < 0 || index >= pageCount())
        return false;
    if (QTabWidget* pages = m_panel->findChild<QTabWidget*>())
        pages->setCurrentIndex(index);
    return true;
}

void SynthWindow::buildActions()
{
    QUndoStack* stack = m_memory->undoStack();
    m_undo = stack->createUndoAction(this, QStringLiteral("&Undo"));
    m_undo->setShortcut(QKeySequence::Undo);
    m_redo = stack->createRedoAction(this, QStringLiteral("&Redo"));
    m_redo->setShortcut(QKeySequence::Redo);
    // The menu names the step ("Undo Change Filter Cutoff"); the tool bar keeps its width.
    m_undo->setIconText(QStringLiteral("Undo"));
    m_redo->setIconText(QStringLiteral("Redo"));

    m_copy = new QAction(QStringLiteral("&Copy Value"), this);
    m_copy->setShortcut(QKeySequence::Copy);
    m_copy->setStatusTip(QStringLiteral("Copy the focused parameter's value"));
    connect(m_copy, &QAction::triggered, this, &SynthWindow::copyValue);
    m_paste = new QAction(QStringLiteral("&Paste Value"), this);
    m_paste->setShortcut(QKeySequence::Paste);
    m_paste->setStatusTip(QStringLiteral("Paste a copied value into the focused parameter"));
    connect(m_paste, &QAction::triggered, this, &SynthWindow::pasteValue);
    m_reset = new QAction(QStringLiteral("Reset to &Default"), this);
    m_reset->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    connect(m_reset, &QAction::triggered, this, &SynthWindow::resetValue);
    m_altReset = new QAction(QStringLiteral("Reset to &Alternative Default"), this);
    m_altReset->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_0));
    connect(m_altReset, &QAction::triggered, this, &SynthWindow::resetToAlternative);

    m_automate = new QAction(QStringLiteral("&Automation"), this);
    m_automate->setCheckable(true);
    m_automate->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    m_automate->setStatusTip(QStringLiteral("Sweep parameters and play the voices from a worker thread (%1 lanes)")
                                 .arg(m_automation->laneNames().size()));
    m_automate->setEnabled(!m_automation->laneNames().isEmpty());
    connect(m_automate, &QAction::toggled, m_automation, &Automation::setRunning);
    connect(m_automation, &Automation::runningChanged, m_automate, &QAction::setChecked);
    connect(m_automation, &Automation::runningChanged, this, &SynthWindow::showAutomationState);
    // Stop before the widgets and the memory start to go, also when the window never closes.
    connect(qApp, &QCoreApplication::aboutToQuit, m_automation, &Automation::stop);

    auto* quit = new QAction(QStringLiteral("&Quit"), this);
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, this, &QWidget::close);

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(quit);
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->addAction(m_undo);
    edit->addAction(m_redo);
    edit->addSeparator();
    edit->addAction(m_copy);
    edit->addAction(m_paste);
    edit->addSeparator();
    edit->addAction(m_reset);
    edit->addAction(m_altReset);
    QMenu* host = menuBar()->addMenu(QStringLiteral("&Host"));
    host->addAction(m_automate);

    QToolBar* tools = addToolBar(QStringLiteral("Edit"));
    tools->setObjectName(QStringLiteral("editToolBar"));
    tools->setMovable(false);
    tools->setToolButtonStyle(Qt::ToolButtonTextOnly);
    tools->addAction(m_undo);
    tools->addAction(m_redo);
    tools->addSeparator();
    tools->addAction(m_copy);
    tools->addAction(m_paste);
    tools->addAction(m_reset);
    tools->addSeparator();
    tools->addAction(m_automate);

    m_touched = new QLabel(this);
    m_automationState = new QLabel(this);
    statusBar()->addWidget(m_touched, 1);
    statusBar()->addPermanentWidget(m_automationState);
    m_automationTimer = new QTimer(this);
    m_automationTimer->setInterval(500);
    connect(m_automationTimer, &QTimer::timeout, this, &SynthWindow::showAutomationState);

    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { focusMoved(now); });
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &SynthWindow::updateEditActions);
}

void SynthWindow::watchControls()
{
    // Every bound control family reports its display text by this signal; the status bar
    // follows the current control's.
    for (QWidget* w : boundControls())
        if (w->metaObject()->indexOfSignal("textualValueChange(QString)") >= 0)
            connect(w, SIGNAL(textualValueChange(QString)), this, SLOT(controlTextChanged(QString)));
}

QList<QWidget*> SynthWindow::boundControls() const
{
    QList<QWidget*> controls;
    for (QWidget* w : m_panel->findChildren<QWidget*>())
        if (TMemProxy_Orvel* proxy = memProxyOf(w); proxy && proxy->memAPIReady())
            controls << w;
    return controls;
}

void SynthWindow::wireContextMenus()
{
    // The form loader attached the editor conveniences to the panel: Ctrl-click resets, the
    // right button opens a menu. The status bar reports what they did, like the Edit menu.
    auto* conveniences = m_panel->findChild<TEditorConveniences_Orvel*>();
    if (!conveniences)
        return;
    connect(conveniences, &TEditorConveniences_Orvel::valueCopied, this, [this](QWidget* control, const QString& text) {
        statusBar()->showMessage(QStringLiteral("Copied %1: %2").arg(labelOf(memProxyOf(control)), text), 3000);
    });
    connect(conveniences, &TEditorConveniences_Orvel::valueReset, this, [this](QWidget* control, int operation) {
        statusBar()->showMessage(QStringLiteral("%1 reset to its %2default")
                                     .arg(labelOf(memProxyOf(control)),
                                          operation == 4 ? QStringLiteral("alternative ") : QString()),
                                 3000);
    });
}

void SynthWindow::wireDragCaptions()
{
    for (CFader_Orvel* fader : m_panel->findChildren<CFader_Orvel*>()) {
        auto* caption = m_panel->findChild<CLabelDisplay_Orvel*>(fader->objectName() + QStringLiteral("Caption"));
        if (!caption)
            continue;
        // While a drag lasts the caption's texts go to its alternative display; outside one the
        // fader's texts (automation, undo) must not replace the caption, hence the flag.
        auto dragging = std::make_shared<bool>(false);
        connect(fader, &CFader_Orvel::alternativeDisplayBegin, caption, [this, fader, caption, dragging] {
            *dragging = true;
            caption->altDisplayBegin();
            caption->setText(m_texts.value(fader));
        });
        connect(fader, &CFader_Orvel::alternativeDisplayEnd, caption, [caption, dragging] {
            *dragging = false;
            caption->altDisplayEnd();
        });
        connect(fader, &CFader_Orvel::textualValueChange, caption, [caption, dragging](const QString& text) {
            if (*dragging)
                caption->setText(text);
        });
    }
}

void SynthWindow::wireEditorOpener()
{
    m_editors.registerEditor(EnvelopeView::editorId(), TEditorRegistry_Orvel::AnyKind,
                             [this](QWidget*) { return new EnvelopeView(m_memory, this); });
    m_memory->setEditorFactory(&m_editors);
    auto* label = m_panel->findChild<CHotspotLabel_Orvel*>(QStringLiteral("ampCurve"));
    TMemProxy_Orvel* attack = memProxyOf(m_panel->findChild<QWidget*>(QStringLiteral("ampAttack")));
    if (!label || !attack)
        return;
    // The editor's channel is the envelope's number: the attack's low address 32 minus 32 gives
    // channel 0, the amplifier envelope.
    OV_GUID id;
    const QByteArray bytes = EnvelopeView::editorId().toRfc4122();
    std::copy(bytes.cbegin(), bytes.cend(), id.bytes);
    new EditorOpener_Orvel(label, attack, id, 0, EditorOpener_Orvel::ButtonState(EditorOpener_Orvel::AnyModifiers),
                           -attack->addrLow);
}

void SynthWindow::wirePatchName()
{
    m_patchEditor = m_panel->findChild<CNameEditor_Orvel*>();
    if (!m_patchEditor)
        return;
    m_patchName = m_patchEditor->text();
    const auto showName = [this] {
        setWindowTitle(QStringLiteral("%1 - Synth Panel - orvelkit demo").arg(m_patchName));
    };
    showName();
    connect(m_patchEditor, &CNameEditor_Orvel::acceptEdit, this, [this, showName] {
        m_patchName = m_patchEditor->text();
        showName();
        statusBar()->showMessage(QStringLiteral("Patch renamed to \"%1\"").arg(m_patchName), 3000);
    });
    connect(m_patchEditor, &CNameEditor_Orvel::abortEdit, this, [this] { m_patchEditor->setText(m_patchName); });
}

void SynthWindow::focusMoved(QWidget* now)
{
    if (now && memProxyOf(now) && m_panel->isAncestorOf(now)) {
        m_current = now;
    } else if (now && now->window() == this) {
        // Another widget of this window (a selector, the toolbar) took the focus. Menus and
        // other popups are windows of their own: the control stays current while they are open.
        m_current = nullptr;
    }
    updateEditActions();
    showCurrent();
}

TMemProxy_Orvel* SynthWindow::currentProxy() const
{
    TMemProxy_Orvel* proxy = m_current ? memProxyOf(m_current) : nullptr;
    return proxy && proxy->memAPIReady() ? proxy : nullptr;
}

void SynthWindow::updateEditActions()
{
    const bool bound = currentProxy() != nullptr;
    m_copy->setEnabled(bound);
    m_paste->setEnabled(bound && TEditorConveniences_Orvel::clipboardHasRecord());
    m_reset->setEnabled(bound);
    m_altReset->setEnabled(bound);
}

QString SynthWindow::labelOf(const TMemProxy_Orvel* proxy) const
{
    const auto param = m_memory->parameter(proxy->addrHigh, proxy->addrMid, proxy->addrLow);
    if (param && !param->label.isEmpty())
        return param->label;
    return proxy->namedAddress();
}

QString SynthWindow::displayText(TMemProxy_Orvel* proxy) const
{
    if (m_current && memProxyOf(m_current) == proxy && m_texts.contains(m_current.data()))
        return m_texts.value(m_current.data());
    const int value = proxy->api->currentValue(proxy->addrHigh, proxy->addrMid, proxy->addrLow, 0, 0);
    QString text;
    // Table -1: the parameter's own display, as the map describes it.
    if (proxy->api->formatValue(qint16(proxy->addrLow + proxy->addrLowOffset), -1, text, nullptr, value, 0,
                                proxy->addrHigh, proxy->addrMid) != 0)
        text = QString::number(value);
    return text;
}

void SynthWindow::showCurrent()
{
    TMemProxy_Orvel* proxy = currentProxy();
    m_touched->setText(proxy ? QStringLiteral("%1: %2").arg(labelOf(proxy), displayText(proxy))
                             : QStringLiteral("Click a control to edit it; Ctrl+C / Ctrl+V copy and paste its value"));
}

void SynthWindow::controlTextChanged(const QString& text)
{
    // The controls live as long as the window: the keys stay valid.
    m_texts.insert(sender(), text);
    if (sender() && sender() == m_current.data())
        showCurrent();
}

void SynthWindow::showAutomationState()
{
    if (m_automation->isRunning()) {
        m_automationTimer->start();
        m_automationState->setText(QStringLiteral("Automation: %1 lanes at %2 Hz, %3 writes")
                                       .arg(m_automation->laneNames().size())
                                       .arg(m_automation->rate())
                                       .arg(m_automation->writes()));
    } else {
        m_automationTimer->stop();
        m_automationState->setText(QStringLiteral("Automation off"));
    }
}

bool SynthWindow::copyValue()
{
    TMemProxy_Orvel* proxy = currentProxy();
    if (!proxy)
        return false;
    const QString text = displayText(proxy);
    if (!TEditorConveniences_Orvel::copyToClipboard(proxy, text))
        return false;
    statusBar()->showMessage(QStringLiteral("Copied %1: %2").arg(labelOf(proxy), text), 3000);
    return true;
}

bool SynthWindow::pasteValue()
{
    TMemProxy_Orvel* proxy = currentProxy();
    if (!proxy)
        return false;
    switch (TEditorConveniences_Orvel::pasteFromClipboard(proxy)) {
    case TEditorConveniences_Orvel::Pasted:
        showCurrent();
        return true;
    case TEditorConveniences_Orvel::CorruptRecord:
        statusBar()->showMessage(QStringLiteral("The clipboard's parameter record is damaged"), 3000);
        return false;
    case TEditorConveniences_Orvel::RejectedRecord:
        statusBar()->showMessage(QStringLiteral("A value of this kind does not fit %1").arg(labelOf(proxy)), 3000);
        return false;
    default:
        return false;
    }
}

bool SynthWindow::resetValue()
{
    return reset(1);
}

bool SynthWindow::resetToAlternative()
{
    return reset(4);
}

bool SynthWindow::reset(int operation)
{
    TMemProxy_Orvel* proxy = currentProxy();
    if (!proxy || !TEditorConveniences_Orvel::resetParameter(proxy, operation == 4 ? 1 : 0))
        return false;
    showCurrent();
    return true;
}
