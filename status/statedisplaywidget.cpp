#include "statedisplaywidget.h"

#include "binding/strip.h"
#include "binding/utilities.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

StateDisplayWidget::StateDisplayWidget(QWidget* parent, const char* name) : Qt3::Widget<QFrame>(parent)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    TMemProxy_Orvel::setNumDefaultKind(0);
    TMemProxy_Orvel::setUndoEnable(false);
    setFocusPolicy(Qt::ClickFocus);
}

StateDisplayWidget::~StateDisplayWidget()
{
    // Off-thread process() calls must be over before anything else goes.
    detachMemAPI();
}

// ---- binding ----

void StateDisplayWidget::connectMemAPI()
{
    ++silent;
    if (memAPIReady() && api) {
        api->connectProxy(this, packedAddress(), 0);
        process(nullptr, 0, 0);
    }
    --silent;
}

ORVELKIT_FORWARD_PROXY_SETTINGS(StateDisplayWidget)

void StateDisplayWidget::process(const Q_UINT8*, int operation, Q_UINT32)
{
    if (operation != 0)
        return;
    if (!memAPIReady() || !api)
        return;
    if (NS_Utilities::mainThreadRunning())
        setValue(api->currentValue(addrHigh, addrMid, addrLow, 0, 0));
    else
        MAPI_postObserverEvent(api, this);
}

void StateDisplayWidget::setValueFromData(int v)
{
    if (memAPIReady() && api)
        writeUserEdit(v);
}

// ---- showing a value ----

void StateDisplayWidget::setValue(int v)
{
    if (!NS_Utilities::mainThreadRunning() || v == d.value)
        return;
    d.value = v;
    updateErasePixmap(nullptr);
    update();
}

int StateDisplayWidget::pixmapId(int v) const
{
    int id;
    if (d.booleanLogic)
        id = v == d.cmpValue ? 1 : 0;
    else
        id = v < 0 ? 0 : v;
    return std::min(id, int(d.nSubImages) - 1);
}

void StateDisplayWidget::repaintScreenPrimitive(QPainter& p)
{
    // One column of nSubImages slices; nothing for a strip without slices (id -1).
    NS_Utilities::drawPartialPixmap(p, QPoint(0, pixmapId(d.value)), d.combinedImage,
                                    QSize(1, d.nSubImages), nullptr);
}

void StateDisplayWidget::updateErasePixmap(QPixmap* pm)
{
    if (pm) {
        setErasePixmap(*pm);
        return;
    }
    const QPixmap face = Qt3::paintFacePixmap(this, [this](QPainter& p) { repaintScreenPrimitive(p); });
    if (face.isNull())
        clearErasePixmap();
    else
        setErasePixmap(face);
}

// ---- properties ----

void StateDisplayWidget::setBooleanLogic(bool v)
{
    d.booleanLogic = v;
}

void StateDisplayWidget::setCmpValue(int v)
{
    d.cmpValue = v;
}

void StateDisplayWidget::setCombinedImage(const QPixmap& strip)
{
    d.combinedImage = strip;
    updateGeometry();
}

void StateDisplayWidget::setnSubImages(int value)
{
    d.nSubImages = quint8(value & 0xff);
    updateGeometry();
}

QSize StateDisplayWidget::sliceSize() const
{
    if (d.nSubImages == 0 || d.combinedImage.width() == 0)
        return QSize();
    const NS_Utilities::StripCells cells(d.combinedImage, 1, d.nSubImages);
    // One slice: the strip's width by its height / nSubImages (integer division).
    return NS_Utilities::StripCells::toLogical(
        QSize(d.combinedImage.width(), d.combinedImage.height() / d.nSubImages), cells.devicePixelRatio());
}

QSize StateDisplayWidget::sizeHint() const
{
    const QSize slice = sliceSize();
    return slice.isValid() ? slice : QFrame::sizeHint();
}

// ---- widget ----

void StateDisplayWidget::polish()
{
    setBackgroundOrigin(Qt3::WidgetOrigin);
    if (const QSize slice = sliceSize(); slice.isValid())
        setFixedSize(slice);
    updateErasePixmap(nullptr);
}

void StateDisplayWidget::devicePixelRatioChange()
{
    // The face was rendered at the old ratio.
    if (hasErasePixmap())
        updateErasePixmap(nullptr);
}

void StateDisplayWidget::paintEvent(QPaintEvent* e)
{
    if (hasErasePixmap()) {
        // The face already holds the picture.
        paintFaceFor(e);
        return;
    }
    QPainter p(this);
    repaintScreenPrimitive(p);
}

void StateDisplayWidget::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton)
        d.pressed = true;
}

void StateDisplayWidget::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton || !d.pressed)
        return;
    d.pressed = false;
    emit clicked(int(addrLow) + int(addrLowOffset));
}
