#pragma once
// How a kind of widget carries control values, text and data. The layer asks
// the registered adapters, newest first, whose appliesTo() accepts the widget;
// an adapter answers false (or eventNotHandledErr for data) for what it does
// not carry, and the next one is asked. Modules of the layer that add widget
// kinds (list views, pop-ups, search fields, image views...) register their
// own adapter, e.g. from an initialiser called before first use.

#include "platform/types.h"

#include <memory>
#include <vector>

class QWidget;

class ControlAdapter {
public:
    virtual ~ControlAdapter() = default;
    virtual bool appliesTo(const QWidget* widget) const = 0;

    virtual bool value(const QWidget*, SInt32*) const { return false; }
    virtual bool setValue(QWidget*, SInt32) const { return false; }
    virtual bool minimum(const QWidget*, SInt32*) const { return false; }
    virtual bool setMinimum(QWidget*, SInt32) const { return false; }
    virtual bool maximum(const QWidget*, SInt32*) const { return false; }
    virtual bool setMaximum(QWidget*, SInt32) const { return false; }

    // The text of the control ('cfst' data and the title).
    virtual bool text(const QWidget*, QString*) const { return false; }
    virtual bool setText(QWidget*, const QString&) const { return false; }
    // Left, centred or right alignment of the text (teFlush* values).
    virtual bool setJustification(QWidget*, SInt16) const { return false; }

    // Any other tag: eventNotHandledErr when the adapter does not carry it.
    virtual OSStatus getData(ControlRef, ControlPartCode, ResType, Size, void*, Size*) const
    {
        return eventNotHandledErr;
    }
    virtual OSStatus setData(ControlRef, ControlPartCode, ResType, Size, const void*) const
    {
        return eventNotHandledErr;
    }
};

// Adds an adapter in front of those there are.
void RegisterControlAdapter(std::unique_ptr<ControlAdapter> adapter);

namespace tavi::platform::detail {
// The adapters of the standard Qt widgets, oldest first.
std::vector<std::unique_ptr<ControlAdapter>> makeStandardControlAdapters();
} // namespace tavi::platform::detail
