#pragma once
// SplitView: two panes, A and B, with a bar between them that the user drags.
//
// The bar's place is a ratio: the share of the view's length, less the bar,
// that pane A receives. A horizontal bar stacks the panes (A on top, never
// less than 100 pixels high unless the ratio passes 1); a vertical bar puts
// them side by side (A on the left). The bar's thickness is the size of its
// picture in the bundle resources, and so is its grip's size; both are drawn
// by code (DrawSplitterBar) at the screen's pixel density in the colours of
// the view's palette, so the pictures give the geometry, not the pixels.
//
// The owner talks to the view through control data (SetControlData and
// GetControlData on the view's ControlRef, part 0):
//   'svsr'  float, 4 bytes       the ratio (initially 0.5)
//   'svot'  Boolean, 1 byte      true: vertical bar (initially false)
//   'sv_a'  ControlRef           pane A; setting embeds it in the split view
//   'sv_b'  ControlRef           pane B
//   'kind'  ControlKind          {'TtsV', 'TtsV'}
// A buffer of another size is errDataSizeMismatch; no buffer asks for the
// size. Each change lays the panes out again at once. Setting a pane leaves
// the view that held the place before where it is, no longer laid out.
//
// Part codes: 0 none, 1 pane A, 2 the bar, 3 pane B.
//
// The dictionary window makes one with SplitView::Create, sets its panes and
// ratio, and reads the ratio back when it saves.
//
// The view is disposed of with its window (or DisposeControl); the panes,
// being embedded, go with it.

#include "framework/tview.h"
#include "platform/cgimage.h"

#include <QPointer>

class QPalette;
class QRectF;
class QSizeF;
class QWidget;

constexpr ResType kSplitViewRatioTag = FOUR_CHAR_CODE("svsr");
constexpr ResType kSplitViewOrientationTag = FOUR_CHAR_CODE("svot");
constexpr ResType kSplitViewSubViewATag = FOUR_CHAR_CODE("sv_a");
constexpr ResType kSplitViewSubViewBTag = FOUR_CHAR_CODE("sv_b");
constexpr OSType kSplitViewKind = FOUR_CHAR_CODE("TtsV");
// The identifier the dictionary window finds its split view by.
constexpr ControlID kSplitViewControlID = {FOUR_CHAR_CODE("splV"), 0};

constexpr ControlPartCode kSplitViewPaneAPart = 1;
constexpr ControlPartCode kSplitViewSplitterPart = 2;
constexpr ControlPartCode kSplitViewPaneBPart = 3;

// Draws a splitter bar filling `bar` (logical pixels) with its grip of size
// `grip` centred on it, in the button colours of the palette's current colour
// group; a bar not `enabled` is flatter and its grip fainter. Edges and
// ridges are one device pixel wide, so a high-density screen shows them
// finer, not thicker.
void DrawSplitterBar(QPainter& painter, const QRectF& bar, const QSizeF& grip, bool vertical,
                     bool enabled, const QPalette& palette);

class SplitView : public TView {
public:
    static inline const QString kClassID = QStringLiteral("com.Quillon.Tavi.SplitView");

    // Makes a split view, puts it into the window's root view when a window
    // is given, and sets its frame (window coordinates). Hidden until shown.
    static OSStatus Create(ControlRef* outControl, const HIRect* inBounds, WindowRef inWindow);
    static void RegisterClass();
    static OSStatus Construct(HIObjectRef inObjectRef, TObject** outObject);

    // The instance of a split view's ControlRef, or null for another control.
    static SplitView* FromControl(ControlRef inControl);

    // Pane A, the bar and pane B in the view's coordinates; null pointers
    // are skipped.
    void CalculateRects(HIRect* outPaneA, HIRect* outSplitter, HIRect* outPaneB);
    void SetSubViewBounds();
    float GetVSplitterWidth();
    float GetHSplitterHeight();

    float GetSplitRatio() const { return fSplitRatio; }
    bool IsVertical() const { return fVertical; }

    // The shared picture set, for tests and diagnostics: how many split
    // views use it, whether it is loaded, and how often it has been loaded.
    static SInt32 ImageClientCount() { return fImageClientRefCount; }
    static bool ImagesLoaded() { return fImages != nullptr; }
    static int ImageLoadCount() { return sImageLoadCount; }

protected:
    explicit SplitView(HIObjectRef inObjectRef);
    ~SplitView() override;

    OSStatus Initialize(TCarbonEvent& inEvent) override;
    ControlKind GetKind() override;
    UInt32 GetBehaviors() override;
    void BoundsChanged(UInt32 inOptions, const HIRect& inOriginalBounds,
                       const HIRect& inCurrentBounds) override;
    void Draw(RgnHandle inLimitRgn, CGContextRef inContext) override;
    OSStatus GetData(OSType inTag, ControlPartCode inPart, Size inSize, Size* outSize,
                     void* inPtr) override;
    OSStatus SetData(OSType inTag, ControlPartCode inPart, Size inSize, const void* inPtr) override;
    OSStatus GetRegion(ControlPartCode inPart, RgnHandle outRgn) override;
    ControlPartCode HitTest(const HIPoint& inWhere) override;
    OSStatus Track(TCarbonEvent& inEvent, ControlPartCode* outPartHit) override;

private:
    enum { kImageCount = 8 };
    static void ReleaseImages();

    float fSplitRatio;
    Boolean fVertical;
    // Panes are watched: a pane deleted by its owner is no longer laid out.
    QPointer<PlatformControl> fSubViewA;
    QPointer<PlatformControl> fSubViewB;
    bool fUsesImages = false; // counted in fImageClientRefCount

    static bool sRegistered;
    static float vSplitterWidth;
    static float hSplitterHeight;
    static CGImageRef* fImages;
    static SInt32 fImageClientRefCount;
    static int sImageLoadCount;
};
