// The base of every control: position, caption, hint, tag, enabled, visible,
// and the link to its peer. Positions and sizes are 96-DPI pixels; the Win32
// backend scales them to the monitor.
//
// Controls are usually members of their window class, constructed with their
// parent (`ui::Button btOk{*this};` inside a Form subclass, or `{pnlTitle}`
// for a control on a panel); they register with the parent and unregister
// when destroyed. Setters never fire events: events fire only from the
// user-action entry points (userClick(), ...).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/backend.h"

namespace kumoya::ui {

class Container;

// "ＭＳ Ｐゴシック" in Shift_JIS, the face every window of the program uses.
inline constexpr const char* kDefaultFontName = "\x82\x6C\x82\x72\x20\x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E";
inline constexpr int kShiftJisCharset = 128;

struct Font {
    std::string name = kDefaultFontName;
    int height = 12;  // character height in 96-DPI pixels
    bool bold = false;
    bool italic = false;
    int charset = kShiftJisCharset;
    int color = -1;  // 0x00BBGGRR; -1 the system's text colour
    bool operator==(const Font&) const = default;
};

enum class Cursor { Default, Hand };

// Colours as 0x00BBGGRR values; kDefaultColor leaves the system's colour.
inline constexpr int kDefaultColor = -1;

class Control {
public:
    explicit Control(Container* parent);
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    Container* parent() const { return parent_; }
    // The form the control stands on (itself for a form).
    Form* form();

    const std::string& caption() const { return caption_; }
    void setCaption(std::string caption);
    const std::string& hint() const { return hint_; }
    void setHint(std::string hint) {
        hint_ = std::move(hint);
        changed(Prop::Hint);
    }
    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }
    // The help topic of the control and what it holds (0: its container's).
    // F1 opens the topic of the focused control, found as Form::helpContextAt
    // says.
    int helpContext() const { return helpContext_; }
    void setHelpContext(int context) { helpContext_ = context; }

    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled);
    bool visible() const { return visible_; }
    void setVisible(bool visible);
    // Visible and enabled, together with every container above it: what a
    // user can reach.
    bool reachable() const;

    int left() const { return left_; }
    int top() const { return top_; }
    int width() const { return width_; }
    int height() const { return height_; }
    void setBounds(int left, int top, int width, int height);

    // The control's own font, or its container's while it has none.
    const Font& font() const;
    void setFont(Font font);
    bool hasOwnFont() const { return ownFont_ != nullptr; }
    int color() const { return color_; }
    void setColor(int color);
    // The mouse pointer over the control.
    Cursor cursor() const { return cursor_; }
    void setCursor(Cursor cursor);

    // Gives the control the keyboard focus; its form remembers it.
    void setFocus();

    Peer* peer() const { return peer_.get(); }
    // Creates the peer (and those of the children) if the backend has one.
    virtual void realize(UiBackend& backend);
    // The control's window exists (or would, on a backend with windows).
    bool created() const { return created_; }

protected:
    // Implemented by each control as `return backend.createPeer(*this);`.
    virtual std::unique_ptr<Peer> makePeer(UiBackend& backend) = 0;
    void changed(Prop what) {
        if (peer_) peer_->update(what);
    }
    void dropPeer() { peer_.reset(); }
    // For properties that shape the native window when it is made: a change
    // once it exists would silently do nothing, so it is refused loudly.
    void requireUncreated(const char* property, bool changes) const;
    // Sets the caption without telling the peer (it already shows it).
    void assignCaption(std::string caption);

private:
    Container* parent_;
    std::unique_ptr<Peer> peer_;
    bool created_ = false;
    std::string caption_;
    std::string hint_;
    int tag_ = 0;
    int helpContext_ = 0;
    bool enabled_ = true;
    bool visible_ = true;
    int left_ = 0, top_ = 0, width_ = 75, height_ = 25;
    std::unique_ptr<Font> ownFont_;
    int color_ = kDefaultColor;
    Cursor cursor_ = Cursor::Default;
};

// A control that holds others (forms, panels).
class Container : public Control {
public:
    explicit Container(Container* parent) : Control(parent) {}
    ~Container() override;

    const std::vector<Control*>& children() const { return children_; }
    void realize(UiBackend& backend) override;

    // A control created at run time and owned by this container.
    template <class T, class... Args>
    T& make(Args&&... args) {
        auto control = std::make_unique<T>(*this, std::forward<Args>(args)...);
        T& ref = *control;
        owned_.push_back(std::move(control));
        return ref;
    }

protected:
    // Destroys the controls made with make().
    void releaseOwned();
    // A child has gone (called from the child's destructor).
    virtual void childrenChanged() {}

private:
    friend class Control;
    void attach(Control* child);
    void detach(Control* child);

    std::vector<Control*> children_;
    std::vector<std::unique_ptr<Control>> owned_;
};

}  // namespace kumoya::ui
