#include "splitview/splitview.h"

#include "platform/windows.h"

#include <QGuiApplication>
#include <QPaintDevice>
#include <QPainter>
#include <QPalette>
#include <QRegion>
#include <QWidget>

#include <algorithm>
#include <cstring>
#include <new>

bool SplitView::sRegistered = false;
float SplitView::vSplitterWidth = -1.0f;
float SplitView::hSplitterHeight = -1.0f;
CGImageRef* SplitView::fImages = nullptr;
SInt32 SplitView::fImageClientRefCount = 0;
int SplitView::sImageLoadCount = 0;

namespace {

// The pictures, in the order of SplitView::fImages.
enum {
    kHSplitterImage,
    kVSplitterImage,
    kHRidgesImage,
    kVRidgesImage,
    kHSplitterDisabledImage,
    kVSplitterDisabledImage,
    kHRidgesDisabledImage,
    kVRidgesDisabledImage,
};

const char* const kImageNames[] = {
    "HSplitter.png",         "VSplitter.png",         "HRidges.png",         "VRidges.png",
    "HSplitterDisabled.png", "VSplitterDisabled.png", "HRidgesDisabled.png", "VRidgesDisabled.png",
};

constexpr UInt32 kSplitViewBehaviors = 0x00020042; // data access, part regions, embedding

// Toward zero through a 32-bit integer, as the layout is defined; values
// beyond the integer's range are held at its ends and NaN counts as 0.
float trunc32(float value)
{
    if (!(value == value))
        return 0.0f;
    if (value <= -2147483648.0f)
        return -2147483648.0f;
    if (value >= 2147483520.0f)
        return 2147483520.0f;
    return float(SInt32(value));
}

bool containsPoint(const HIRect& rect, const HIPoint& point)
{
    return point.x >= rect.origin.x && point.x < rect.origin.x + rect.size.width &&
           point.y >= rect.origin.y && point.y < rect.origin.y + rect.size.height;
}

// Copies a value out for GetData: the size is always reported; no buffer
// only asks for it.
OSStatus answerData(const void* value, Size valueSize, Size inSize, Size* outSize, void* inPtr)
{
    if (outSize)
        *outSize = valueSize;
    if (!inPtr)
        return noErr;
    if (inSize != valueSize)
        return errDataSizeMismatch;
    std::memcpy(inPtr, value, size_t(valueSize));
    return noErr;
}

QColor mix(const QColor& a, const QColor& b, float t)
{
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t,
                            a.greenF() + (b.greenF() - a.greenF()) * t,
                            a.blueF() + (b.blueF() - a.blueF()) * t);
}

} // namespace

void DrawSplitterBar(QPainter& painter, const QRectF& bar, const QSizeF& grip, bool vertical,
                     bool enabled, const QPalette& palette)
{
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const qreal hair = 1.0 / ratio;
    const QColor face = palette.color(QPalette::Button);
    const QColor ink = palette.color(QPalette::ButtonText);
    const QColor edge = mix(face, ink, enabled ? 0.3f : 0.2f);
    const QColor ridge = mix(face, ink, enabled ? 0.6f : 0.35f);
    const QColor shine = enabled ? face.lighter(130) : face;

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(bar, face);
    // The two long edges, and the grip's three ridges across the bar, each a
    // dark line followed by a light one, three eighths of the grip apart.
    auto across = [&](qreal along, qreal length, qreal from, qreal to, const QColor& colour) {
        painter.fillRect(vertical ? QRectF(from, along, to - from, length)
                                  : QRectF(along, from, length, to - from),
                         colour);
    };
    const qreal start = vertical ? bar.top() : bar.left();
    const qreal length = vertical ? bar.height() : bar.width();
    const qreal near = vertical ? bar.left() : bar.top();
    const qreal far = vertical ? bar.right() : bar.bottom();
    across(start, length, near, near + hair, edge);
    across(start, length, far - hair, far, edge);

    const qreal gripAlong = vertical ? grip.height() : grip.width();
    const qreal gripAcross = vertical ? grip.width() : grip.height();
    const QPointF centre = bar.center();
    const qreal gripStart = (vertical ? centre.y() : centre.x()) - gripAlong * 0.5;
    const qreal gripNear = (vertical ? centre.x() : centre.y()) - gripAcross * 0.5;
    const qreal unit = gripAlong / 8.0;
    for (int k = 0; k < 3; ++k) {
        const qreal line = gripStart + (3 * k + 1) * unit;
        across(line - hair, hair, gripNear, gripNear + gripAcross, ridge);
        across(line, hair, gripNear, gripNear + gripAcross, shine);
    }
    painter.restore();
}

// ---------------------------------------------------------------------------
// Class and creation.

OSStatus SplitView::Create(ControlRef* outControl, const HIRect* inBounds, WindowRef inWindow)
{
    if (!outControl)
        return paramErr;
    *outControl = nullptr;
    EventRef initEvent = CreateInitializationEvent();
    RegisterClass();
    HIObjectRef object = nullptr;
    OSStatus status = HIObjectCreate(kClassID, initEvent, &object);
    ReleaseEvent(initEvent);
    if (status != noErr)
        return status;
    if (inWindow) {
        ControlRef root = nullptr;
        status = GetRootControl(inWindow, &root);
        if (status == noErr)
            status = HIViewAddSubview(root, object);
        if (status != noErr) {
            DisposeControl(object);
            return status;
        }
    }
    if (inBounds)
        HIViewSetFrame(object, inBounds);
    *outControl = object;
    return noErr;
}

void SplitView::RegisterClass()
{
    if (sRegistered)
        return;
    const OSStatus status = RegisterSubclass(kClassID, kHIViewClassID, Construct);
    sRegistered = status == noErr || status == hiObjectClassExistsErr;
}

OSStatus SplitView::Construct(HIObjectRef inObjectRef, TObject** outObject)
{
    auto* view = new (std::nothrow) SplitView(inObjectRef);
    if (!view)
        return memFullErr;
    *outObject = view;
    return noErr;
}

SplitView* SplitView::FromControl(ControlRef inControl)
{
    return static_cast<SplitView*>(static_cast<TObject*>(HIObjectDynamicCast(inControl, kClassID)));
}

SplitView::SplitView(HIObjectRef inObjectRef)
    : TView(inObjectRef), fSplitRatio(0.5f), fVertical(false)
{
    ChangeAutoInvalidateFlags(
        kAutoInvalidateOnActivate | kAutoInvalidateOnHilite | kAutoInvalidateOnEnable, 0);
}

SplitView::~SplitView()
{
    // Only a view whose initialisation succeeded counts as a user.
    if (fUsesImages && --fImageClientRefCount == 0 && fImages)
        ReleaseImages();
}

ControlKind SplitView::GetKind()
{
    return ControlKind{kSplitViewKind, kSplitViewKind};
}

UInt32 SplitView::GetBehaviors()
{
    return kSplitViewBehaviors;
}

// ---------------------------------------------------------------------------
// Pictures.

OSStatus SplitView::Initialize(TCarbonEvent& inEvent)
{
    OSStatus status = TView::Initialize(inEvent);
    if (status != noErr)
        return status;
    if (!fImages) {
        auto* images = new (std::nothrow) CGImageRef[kImageCount]{};
        if (!images)
            return memFullErr;
        for (int i = 0; i < kImageCount; ++i) {
            QString path;
            if (CopyBundleResourcePath(QString::fromLatin1(kImageNames[i]), &path) != noErr)
                status = paramErr;
            else if (!(images[i] = CGImageCreateWithPNGFile(path)))
                status = memFullErr;
            if (status != noErr) {
                // A half-filled set is never kept.
                for (int j = 0; j < i; ++j)
                    CGImageRelease(images[j]);
                delete[] images;
                return status;
            }
        }
        fImages = images;
        ++sImageLoadCount;
    }
    ++fImageClientRefCount;
    fUsesImages = true;
    return noErr;
}

void SplitView::ReleaseImages()
{
    for (int i = 0; i < kImageCount; ++i)
        CGImageRelease(fImages[i]);
    delete[] fImages;
    fImages = nullptr;
}

float SplitView::GetVSplitterWidth()
{
    if (vSplitterWidth == -1.0f && fImages)
        vSplitterWidth = float(CGImageGetWidth(fImages[kVSplitterImage]));
    return vSplitterWidth < 0 ? 0.0f : vSplitterWidth;
}

float SplitView::GetHSplitterHeight()
{
    if (hSplitterHeight == -1.0f && fImages)
        hSplitterHeight = float(CGImageGetHeight(fImages[kHSplitterImage]));
    return hSplitterHeight < 0 ? 0.0f : hSplitterHeight;
}

// ---------------------------------------------------------------------------
// Layout.

void SplitView::CalculateRects(HIRect* outPaneA, HIRect* outSplitter, HIRect* outPaneB)
{
    const HIRect bounds = Bounds();
    const float x = bounds.origin.x;
    const float y = bounds.origin.y;
    const float width = bounds.size.width;
    const float height = bounds.size.height;
    const float ratio = fSplitRatio;
    HIRect paneA;
    HIRect splitter;
    HIRect paneB;

    if (fVertical) {
        const float thickness = GetVSplitterWidth();
        const float a = trunc32((width - thickness) * ratio);
        paneA = HIRect{{x, y}, {a, height}};
        splitter = HIRect{{x + a, y}, {thickness, height}};
        paneB = HIRect{{x + a + thickness, y}, {width - thickness - a, height}};
    } else {
        const float thickness = GetHSplitterHeight();
        float a;
        const float unused = trunc32(height - (height - thickness) * ratio);
        if (unused < thickness) {
            a = height - thickness; // only when the ratio passes 1
        } else {
            const float n = trunc32((height - thickness) * ratio);
            a = n <= 99 ? 100.0f : n;
        }
        paneA = HIRect{{x, y}, {width, a}};
        splitter = HIRect{{x, y + a}, {width, thickness}};
        paneB = HIRect{{x, y + a + thickness}, {width, height - thickness - a}};
    }

    if (outPaneA)
        *outPaneA = paneA;
    if (outSplitter)
        *outSplitter = splitter;
    if (outPaneB)
        *outPaneB = paneB;
}

void SplitView::SetSubViewBounds()
{
    HIRect paneA;
    HIRect paneB;
    CalculateRects(&paneA, nullptr, &paneB);
    // A widget cannot be smaller than nothing: a pane pushed out of a view
    // too small for the layout is given no size.
    for (HIRect* pane : {&paneA, &paneB}) {
        pane->size.width = std::max(0.0f, pane->size.width);
        pane->size.height = std::max(0.0f, pane->size.height);
    }
    if (fSubViewA)
        HIViewSetFrame(fSubViewA.data(), &paneA);
    if (fSubViewB)
        HIViewSetFrame(fSubViewB.data(), &paneB);
    Invalidate();
}

void SplitView::BoundsChanged(UInt32, const HIRect&, const HIRect&)
{
    SetSubViewBounds();
    Invalidate();
}

ControlPartCode SplitView::HitTest(const HIPoint& inWhere)
{
    HIRect paneA;
    HIRect splitter;
    HIRect paneB;
    CalculateRects(&paneA, &splitter, &paneB);
    if (containsPoint(paneA, inWhere))
        return kSplitViewPaneAPart;
    if (containsPoint(splitter, inWhere))
        return kSplitViewSplitterPart;
    if (containsPoint(paneB, inWhere))
        return kSplitViewPaneBPart;
    return kControlNoPart;
}

OSStatus SplitView::GetRegion(ControlPartCode inPart, RgnHandle outRgn)
{
    if ((inPart == kControlStructureMetaPart || inPart == kControlContentMetaPart) && outRgn) {
        const HIRect bounds = Bounds();
        const int top = int(trunc32(bounds.origin.y));
        const int left = int(trunc32(bounds.origin.x));
        const int bottom = int(trunc32(bounds.origin.y + bounds.size.height));
        const int right = int(trunc32(bounds.origin.x + bounds.size.width));
        *outRgn = QRegion(left, top, right - left, bottom - top);
    }
    return noErr;
}

// ---------------------------------------------------------------------------
// Control data.

OSStatus SplitView::GetData(OSType inTag, ControlPartCode inPart, Size inSize, Size* outSize,
                            void* inPtr)
{
    switch (inTag) {
    case kSplitViewRatioTag:
        return answerData(&fSplitRatio, sizeof fSplitRatio, inSize, outSize, inPtr);
    case kSplitViewOrientationTag:
        return answerData(&fVertical, sizeof fVertical, inSize, outSize, inPtr);
    case kSplitViewSubViewATag:
    case kSplitViewSubViewBTag: {
        ControlRef pane = inTag == kSplitViewSubViewATag ? fSubViewA.data() : fSubViewB.data();
        return answerData(&pane, sizeof pane, inSize, outSize, inPtr);
    }
    default:
        return TView::GetData(inTag, inPart, inSize, outSize, inPtr);
    }
}

OSStatus SplitView::SetData(OSType inTag, ControlPartCode inPart, Size inSize, const void* inPtr)
{
    switch (inTag) {
    case kSplitViewRatioTag:
        if (!inPtr)
            return noErr;
        if (inSize != Size(sizeof fSplitRatio))
            return errDataSizeMismatch;
        std::memcpy(&fSplitRatio, inPtr, sizeof fSplitRatio);
        SetSubViewBounds();
        return noErr;
    case kSplitViewOrientationTag:
        if (!inPtr)
            return noErr;
        if (inSize != Size(sizeof fVertical))
            return errDataSizeMismatch;
        std::memcpy(&fVertical, inPtr, sizeof fVertical);
        SetSubViewBounds();
        return noErr;
    case kSplitViewSubViewATag:
    case kSplitViewSubViewBTag: {
        if (!inPtr)
            return noErr;
        ControlRef pane = nullptr;
        if (inSize != Size(sizeof pane))
            return errDataSizeMismatch;
        std::memcpy(&pane, inPtr, sizeof pane);
        (inTag == kSplitViewSubViewATag ? fSubViewA : fSubViewB) = pane;
        const OSStatus status = HIViewAddSubview(GetViewRef(), pane);
        SetSubViewBounds();
        return status;
    }
    default:
        return TView::SetData(inTag, inPart, inSize, inPtr);
    }
}

// ---------------------------------------------------------------------------
// Drawing and dragging.

void SplitView::Draw(RgnHandle, CGContextRef inContext)
{
    if (!fImages || !inContext)
        return;
    const bool enabled = IsEnabled() && IsActive();
    HIRect splitter;
    CalculateRects(nullptr, &splitter, nullptr);

    // The grip's picture of the bar's state gives the grip's size.
    int grip = fVertical ? kVRidgesImage : kHRidgesImage;
    if (!enabled)
        grip += kHSplitterDisabledImage;
    const QSizeF gripSize(qreal(CGImageGetWidth(fImages[grip])),
                          qreal(CGImageGetHeight(fImages[grip])));

    const QWidget* widget = GetControlWidget(GetViewRef());
    QPalette palette = widget ? widget->palette() : QGuiApplication::palette();
    palette.setCurrentColorGroup(!IsEnabled()  ? QPalette::Disabled
                                 : !IsActive() ? QPalette::Inactive
                                               : QPalette::Active);
    DrawSplitterBar(
        *inContext,
        QRectF(splitter.origin.x, splitter.origin.y, splitter.size.width, splitter.size.height),
        gripSize, fVertical, enabled, palette);
}

OSStatus SplitView::Track(TCarbonEvent& inEvent, ControlPartCode* outPartHit)
{
    HIPoint where;
    OSStatus status = inEvent.GetParameter(kEventParamMouseLocation, &where);
    if (status != noErr)
        return status;

    if (HitTest(where) != kSplitViewSplitterPart) {
        const ControlPartCode none = kControlNoPart;
        status = inEvent.SetParameter(kEventParamControlPart, none);
        *outPartHit = none;
        return status;
    }

    // Everything along the axis of the drag: y for a horizontal bar.
    const bool vertical = fVertical;
    auto along = [vertical](const HIPoint& p) -> float { return vertical ? p.x : p.y; };
    const HIRect bounds = Bounds();
    const float boundsMin = vertical ? bounds.origin.x : bounds.origin.y;
    const float boundsLength = vertical ? bounds.size.width : bounds.size.height;
    const float thickness = vertical ? GetVSplitterWidth() : GetHSplitterHeight();
    const float length = boundsLength - thickness; // shared by the two panes
    HIRect splitter;
    CalculateRects(nullptr, &splitter, nullptr);
    const float splitterMin = vertical ? splitter.origin.x : splitter.origin.y;
    const float splitterLength = vertical ? splitter.size.width : splitter.size.height;
    const float grab = along(where) - splitterMin; // where in the bar the user took hold
    const float rest = splitterLength - grab;

    float last = along(where);
    ControlPartCode tracked = kControlNoPart;
    ControlPartCode current = kSplitViewSplitterPart;
    // The view may be disposed of while the loop waits; then nothing of it
    // is touched again.
    QPointer<QWidget> alive(GetControlWidget(GetViewRef()));

    for (;;) {
        if (tracked != current) {
            Hilite(current);
            tracked = current;
        }
        HIPoint mouse{};
        MouseTrackingResult result = kMouseTrackingMouseDown;
        const OSStatus trackStatus = TrackMouseLocation(GetViewRef(), &mouse, &result);
        if (!alive)
            return eventNotHandledErr;
        if (trackStatus != noErr || result == kMouseTrackingMouseUp ||
            result == kMouseTrackingUserCancelled)
            break;

        float position = along(mouse);
        if (position < boundsMin + grab)
            position = boundsMin + grab;
        else if (position > boundsMin + boundsLength - rest)
            position = boundsMin + boundsLength - rest;

        // A view no longer than its bar has no length to share.
        if (position != last && length > 0) {
            const float ratio = fSplitRatio - (last - position) / length;
            if (ratio != fSplitRatio) {
                fSplitRatio = ratio;
                SetSubViewBounds();
                last = position;
            }
        }
        (vertical ? mouse.x : mouse.y) = position;
        current = HitTest(mouse);
    }

    Hilite(kControlNoPart);
    status = inEvent.SetParameter(kEventParamControlPart, tracked);
    *outPartHit = tracked;
    return status;
}
