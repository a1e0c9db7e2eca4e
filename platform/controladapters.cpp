// Adapters of the standard Qt widgets that .ui files use.

#include "platform/controladapter.h"
#include "platform/controls.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSpinBox>
#include <QTextEdit>

#include <algorithm>

namespace {

Qt::Alignment horizontalAlignment(SInt16 just)
{
    switch (just) {
    case teCenter:
        return Qt::AlignHCenter;
    default:
        return Qt::AlignLeading;
    }
}

template <typename W>
class WidgetAdapter : public ControlAdapter {
public:
    bool appliesTo(const QWidget* widget) const override { return qobject_cast<const W*>(widget); }

protected:
    static W* as(QWidget* widget) { return static_cast<W*>(widget); }
    static const W* as(const QWidget* widget) { return static_cast<const W*>(widget); }
};

// Value and range of widgets that have both (progress bars, sliders, spin
// boxes). A value outside the range is clamped, as Qt would otherwise ignore it.
template <typename W>
class RangeAdapter : public WidgetAdapter<W> {
    using Base = WidgetAdapter<W>;

public:
    bool value(const QWidget* w, SInt32* out) const override
    {
        *out = Base::as(w)->value();
        return true;
    }
    bool setValue(QWidget* w, SInt32 v) const override
    {
        W* widget = Base::as(w);
        widget->setValue(std::clamp(v, SInt32(widget->minimum()), SInt32(widget->maximum())));
        return true;
    }
    bool minimum(const QWidget* w, SInt32* out) const override
    {
        *out = Base::as(w)->minimum();
        return true;
    }
    bool setMinimum(QWidget* w, SInt32 v) const override
    {
        Base::as(w)->setMinimum(v);
        return true;
    }
    bool maximum(const QWidget* w, SInt32* out) const override
    {
        *out = Base::as(w)->maximum();
        return true;
    }
    bool setMaximum(QWidget* w, SInt32 v) const override
    {
        Base::as(w)->setMaximum(v);
        return true;
    }
};

// Buttons: the title; check boxes and other checkable buttons also carry
// their state as the value (0 off, 1 on, 2 mixed).
class ButtonAdapter : public WidgetAdapter<QAbstractButton> {
public:
    bool value(const QWidget* w, SInt32* out) const override
    {
        if (auto* box = qobject_cast<const QCheckBox*>(w)) {
            *out = box->checkState() == Qt::Checked            ? 1
                   : box->checkState() == Qt::PartiallyChecked ? 2
                                                               : 0;
            return true;
        }
        if (!as(w)->isCheckable())
            return false;
        *out = as(w)->isChecked() ? 1 : 0;
        return true;
    }
    bool setValue(QWidget* w, SInt32 v) const override
    {
        if (auto* box = qobject_cast<QCheckBox*>(w)) {
            if (v == 2) {
                box->setTristate(true);
                box->setCheckState(Qt::PartiallyChecked);
            } else {
                box->setCheckState(v > 0 ? Qt::Checked : Qt::Unchecked);
            }
            return true;
        }
        if (!as(w)->isCheckable())
            return false;
        as(w)->setChecked(v > 0);
        return true;
    }
    bool minimum(const QWidget* w, SInt32* out) const override
    {
        if (!as(w)->isCheckable())
            return false;
        *out = 0;
        return true;
    }
    bool maximum(const QWidget* w, SInt32* out) const override
    {
        if (!as(w)->isCheckable())
            return false;
        auto* box = qobject_cast<const QCheckBox*>(w);
        *out = box && box->isTristate() ? 2 : 1;
        return true;
    }
    bool text(const QWidget* w, QString* out) const override
    {
        *out = as(w)->text();
        return true;
    }
    bool setText(QWidget* w, const QString& t) const override
    {
        as(w)->setText(t);
        return true;
    }
};

// Pop-ups: the value is the chosen item counted from 1 (0: none); the
// maximum is the number of items, which only the items themselves change.
class ComboBoxAdapter : public WidgetAdapter<QComboBox> {
public:
    bool value(const QWidget* w, SInt32* out) const override
    {
        *out = as(w)->currentIndex() + 1;
        return true;
    }
    bool setValue(QWidget* w, SInt32 v) const override
    {
        QComboBox* box = as(w);
        box->setCurrentIndex(v >= 1 && v <= box->count() ? v - 1 : -1);
        return true;
    }
    bool minimum(const QWidget*, SInt32* out) const override
    {
        *out = 0;
        return true;
    }
    bool setMinimum(QWidget*, SInt32) const override { return true; }
    bool maximum(const QWidget* w, SInt32* out) const override
    {
        *out = as(w)->count();
        return true;
    }
    bool setMaximum(QWidget*, SInt32) const override { return true; }
    bool text(const QWidget* w, QString* out) const override
    {
        *out = as(w)->currentText();
        return true;
    }
    bool setText(QWidget* w, const QString& t) const override
    {
        if (!as(w)->isEditable())
            return false;
        as(w)->setEditText(t);
        return true;
    }
};

class LabelAdapter : public WidgetAdapter<QLabel> {
public:
    bool text(const QWidget* w, QString* out) const override
    {
        *out = as(w)->text();
        return true;
    }
    bool setText(QWidget* w, const QString& t) const override
    {
        // Dictionary text is shown as it is, never read as markup.
        as(w)->setTextFormat(Qt::PlainText);
        as(w)->setText(t);
        return true;
    }
    bool setJustification(QWidget* w, SInt16 just) const override
    {
        QLabel* label = as(w);
        label->setAlignment((label->alignment() & ~Qt::AlignHorizontal_Mask) |
                            horizontalAlignment(just));
        return true;
    }
};

class LineEditAdapter : public WidgetAdapter<QLineEdit> {
public:
    bool text(const QWidget* w, QString* out) const override
    {
        *out = as(w)->text();
        return true;
    }
    bool setText(QWidget* w, const QString& t) const override
    {
        as(w)->setText(t);
        return true;
    }
    bool setJustification(QWidget* w, SInt16 just) const override
    {
        QLineEdit* edit = as(w);
        edit->setAlignment((edit->alignment() & ~Qt::AlignHorizontal_Mask) |
                           horizontalAlignment(just));
        return true;
    }
};

class PlainTextEditAdapter : public WidgetAdapter<QPlainTextEdit> {
public:
    bool text(const QWidget* w, QString* out) const override
    {
        *out = as(w)->toPlainText();
        return true;
    }
    bool setText(QWidget* w, const QString& t) const override
    {
        as(w)->setPlainText(t);
        return true;
    }
};

class TextEditAdapter : public WidgetAdapter<QTextEdit> {
public:
    bool text(const QWidget* w, QString* out) const override
    {
        *out = as(w)->toPlainText();
        return true;
    }
    bool setText(QWidget* w, const QString& t) const override
    {
        as(w)->setPlainText(t);
        return true;
    }
    bool setJustification(QWidget* w, SInt16 just) const override
    {
        QTextDocument* document = as(w)->document();
        QTextOption option = document->defaultTextOption();
        option.setAlignment(horizontalAlignment(just));
        document->setDefaultTextOption(option);
        return true;
    }
};

class GroupBoxAdapter : public WidgetAdapter<QGroupBox> {
public:
    bool text(const QWidget* w, QString* out) const override
    {
        *out = as(w)->title();
        return true;
    }
    bool setText(QWidget* w, const QString& t) const override
    {
        as(w)->setTitle(t);
        return true;
    }
};

} // namespace

std::vector<std::unique_ptr<ControlAdapter>> tavi::platform::detail::makeStandardControlAdapters()
{
    std::vector<std::unique_ptr<ControlAdapter>> list;
    list.push_back(std::make_unique<RangeAdapter<QProgressBar>>());
    list.push_back(std::make_unique<RangeAdapter<QAbstractSlider>>());
    list.push_back(std::make_unique<RangeAdapter<QSpinBox>>());
    list.push_back(std::make_unique<ButtonAdapter>());
    list.push_back(std::make_unique<ComboBoxAdapter>());
    list.push_back(std::make_unique<LabelAdapter>());
    list.push_back(std::make_unique<LineEditAdapter>());
    list.push_back(std::make_unique<PlainTextEditAdapter>());
    list.push_back(std::make_unique<TextEditAdapter>());
    list.push_back(std::make_unique<GroupBoxAdapter>());
    return list;
}
