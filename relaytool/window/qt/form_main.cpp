// The window built from the control table, and the mapping between Qt's events and the form
// core: keys, clicks, focus moves, activation and close go to the core; texts, check marks,
// enabled states, focus, boxes and the busy cursor come back from it.
#include "form_main.h"

#include "dialog_font.h"
#include "exception_display.h"
#include "masked_edit.h"
#include "relay_application.h"
#include "system_services.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QStyledItemDelegate>

#include <optional>

namespace {

QString Latin1(const char *text) { return QString::fromLatin1(text); }
QString Latin1(const std::string &text) { return QString::fromLatin1(text.data(), qsizetype(text.size())); }
std::string ToLatin1(const QString &text) { return text.toLatin1().toStdString(); }

// The system colours the control table names, from the platform's palette so that the window
// follows the desktop's colour scheme. The platform themes give menus a palette of their own;
// its text is the menu text colour. Palettes have no role for window borders; an inactive
// window's background is what inactive borders look like on the desktops that draw them.
QColor MenuTextColor() { return QApplication::palette("QMenu").color(QPalette::Active, QPalette::WindowText); }
QColor WindowTextColor() { return QApplication::palette().color(QPalette::Active, QPalette::WindowText); }
QColor InactiveBorderColor() { return QApplication::palette().color(QPalette::Inactive, QPalette::Window); }

// Draws list entries at a fixed height (the port list's entries).
class FixedRowDelegate : public QStyledItemDelegate {
public:
    FixedRowDelegate(int rowHeight, QObject *parent) : QStyledItemDelegate(parent), rowHeight_(rowHeight) {}

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(rowHeight_);
        return size;
    }

private:
    int rowHeight_;
};

QString ArtPath(const char *file) { return QStringLiteral(":/relaytool/") + Latin1(file); }

QColor ColourOf(TextColour colour) {
    return colour == TextColour::WindowText ? WindowTextColor() : MenuTextColor();
}

void UseTextColor(QWidget *widget, const QColor &color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    palette.setColor(QPalette::ButtonText, color);
    widget->setPalette(palette);
}

QWidget *CreateControl(const ControlSpec &spec, QWidget *parent) {
    switch (spec.kind) {
    case ControlKind::Picture: {
        // The bitmap drawn unscaled at the box's top-left corner.
        auto *picture = new QLabel(parent);
        picture->setPixmap(QPixmap(ArtPath(spec.picture)));
        picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return picture;
    }
    case ControlKind::Label: {
        auto *label = new QLabel(Latin1(spec.text), parent);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    case ControlKind::Panel: {
        // A raised frame one pixel wide, painting its own background over what lies beneath.
        auto *panel = new QFrame(parent);
        panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
        panel->setLineWidth(1);
        panel->setBackgroundRole(QPalette::Button);
        panel->setAutoFillBackground(true);
        return panel;
    }
    case ControlKind::MaskedEdit: {
        auto *edit = new MaskedEdit(parent);
        edit->SetEditMask(Latin1(spec.mask));
        edit->setText(Latin1(spec.text));
        if (spec.readOnly) {
            edit->setReadOnly(true);
            QPalette palette = edit->palette();
            palette.setColor(QPalette::Base, InactiveBorderColor());
            edit->setPalette(palette);
        }
        return edit;
    }
    case ControlKind::CheckBox:
        return new QCheckBox(Latin1(spec.text), parent);
    case ControlKind::ComboBox: {
        auto *combo = new QComboBox(parent);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);  // the list is the probe's, typing adds nothing
        combo->setCompleter(nullptr);                  // typed text stays as typed
        combo->setItemDelegate(new FixedRowDelegate(Window().portListRowHeight, combo));
        return combo;
    }
    case ControlKind::PushButton: {
        auto *button = new QPushButton(Latin1(spec.text), parent);
        button->setAutoDefault(false);
        button->setDefault(false);
        return button;
    }
    }
    return nullptr;
}

template <typename T>
T *As(QWidget *w) {
    return static_cast<T *>(w);
}

std::optional<EditCommand> CommandFor(int key) {
    switch (key) {
    case Qt::Key_Delete: return EditCommand::Delete;
    case Qt::Key_Left: return EditCommand::Left;
    case Qt::Key_Right: return EditCommand::Right;
    case Qt::Key_Home: return EditCommand::Home;
    case Qt::Key_End: return EditCommand::End;
    default: return std::nullopt;
    }
}

bool IsEntryReason(Qt::FocusReason reason) {
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
}

// The user's input among the events that the display system delivers: what DropQueuedInput
// drops. Moves of the mouse, painting, timers, focus and activation changes are not. While the
// queue is drained nothing of the program's own sends input, so only a close is asked whether it
// came from the display system.
bool IsUserInput(const QEvent *event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        return true;
    case QEvent::Close:
        return event->spontaneous();  // the title bar's close button
    default:
        return false;
    }
}

}  // namespace

TFormMain::TFormMain(SystemServices *system, QWidget *parent)
    : QWidget(parent), ownSystem_(system ? nullptr : MakePlatformServices()),
      core_(*this, system ? *system : *ownSystem_) {
    const WindowSpec &window = Window();
    setObjectName(Latin1(window.name));
    setWindowTitle(Latin1(window.caption));
    // A fixed dialog frame: title bar with system menu and close button, no minimise or maximise.
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(window.clientWidth, window.clientHeight);
    move(window.left, window.top);
    setWindowIcon(QIcon(ArtPath(window.icon)));
    const FontSpec font = FontOf(FontRole::Dialog);
    setFont(DialogFont(font.pixels, font.bold));
    UseTextColor(this, ColourOf(font.colour));
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);

    CreateControls();
    ArrangeStackingAndTabOrder();
    BindEvents();
}

TFormMain *FormMain = nullptr;

TFormMain::~TFormMain() {
    // The controls go after this object has become a plain QWidget: nothing may reach the core.
    qApp->removeEventFilter(this);
    disconnect(qApp, nullptr, this, nullptr);
    for (QWidget *control : widgets_)
        if (auto *edit = qobject_cast<MaskedEdit *>(control)) {
            edit->onEntered = nullptr;
            edit->onTabLeaving = nullptr;
        }
    if (FormMain == this) FormMain = nullptr;
}

void TFormMain::CreateControls() {
    for (const ControlSpec &spec : Controls()) {
        QWidget *parent = spec.parent == ControlId::None ? this : Widget(spec.parent);
        QWidget *control = CreateControl(spec, parent);
        control->setObjectName(Latin1(spec.name));
        control->setGeometry(spec.left, spec.top, spec.width, spec.height);
        if (spec.hint[0] != '\0') control->setToolTip(Latin1(spec.hint));
        if (spec.font != FontRole::Dialog) {
            const FontSpec font = FontOf(spec.font);
            control->setFont(DialogFont(font.pixels, font.bold));
            if (font.colour != FontOf(FontRole::Dialog).colour) UseTextColor(control, ColourOf(font.colour));
        }
        widgets_[static_cast<std::size_t>(spec.id)] = control;
    }
    Image1 = As<QLabel>(Widget(ControlId::Image1));
    Label1 = As<QLabel>(Widget(ControlId::Label1));
    Label6 = As<QLabel>(Widget(ControlId::Label6));
    Image2 = As<QLabel>(Widget(ControlId::Image2));
    Panel2 = As<QFrame>(Widget(ControlId::Panel2));
    Label4 = As<QLabel>(Widget(ControlId::Label4));
    Label5 = As<QLabel>(Widget(ControlId::Label5));
    Label12 = As<QLabel>(Widget(ControlId::Label12));
    WrsRfpiEdit = As<MaskedEdit>(Widget(ControlId::WrsRfpiEdit));
    HopCtrlChkBox = As<QCheckBox>(Widget(ControlId::HopCtrlChkBox));
    Panel1 = As<QFrame>(Widget(ControlId::Panel1));
    Label9 = As<QLabel>(Widget(ControlId::Label9));
    Label10 = As<QLabel>(Widget(ControlId::Label10));
    Label11 = As<QLabel>(Widget(ControlId::Label11));
    Label14 = As<QLabel>(Widget(ControlId::Label14));
    ComboCOMPort = As<QComboBox>(Widget(ControlId::ComboCOMPort));
    LoadButton = As<QPushButton>(Widget(ControlId::LoadButton));
    SaveButton = As<QPushButton>(Widget(ControlId::SaveButton));
    MonitorBeepChkBox = As<QCheckBox>(Widget(ControlId::MonitorBeepChkBox));
    RepeaterRbnEdit = As<MaskedEdit>(Widget(ControlId::RepeaterRbnEdit));
    BaseRpnEdit = As<MaskedEdit>(Widget(ControlId::BaseRpnEdit));
    ParkPliEdit = As<MaskedEdit>(Widget(ControlId::ParkPliEdit));
    ParkEdit = As<MaskedEdit>(Widget(ControlId::ParkEdit));
    ParkChkEdit = As<MaskedEdit>(Widget(ControlId::ParkChkEdit));
    Button1 = As<QPushButton>(Widget(ControlId::Button1));
    RfpiEdit = As<MaskedEdit>(Widget(ControlId::RfpiEdit));
}

void TFormMain::ArrangeStackingAndTabOrder() {
    // Pictures and labels are drawn on their parent's surface: beneath every other control of
    // that parent, keeping their own creation order among themselves.
    for (auto spec = Controls().rbegin(); spec != Controls().rend(); ++spec)
        if (spec->kind == ControlKind::Picture || spec->kind == ControlKind::Label) Widget(spec->id)->lower();

    const auto &order = TabOrder();
    for (std::size_t i = 0; i + 1 < order.size(); ++i) QWidget::setTabOrder(Widget(order[i]), Widget(order[i + 1]));
    // The chain wraps from the last control back to the first; the window starts on the first.
    Widget(order.front())->setFocus(Qt::OtherFocusReason);
}

void TFormMain::BindEvents() {
    for (const ControlSpec &spec : Controls()) {
        const ControlId id = spec.id;
        if (spec.kind == ControlKind::PushButton)
            connect(As<QPushButton>(Widget(id)), &QPushButton::clicked, this, [this, id] { core_.Click(id); });
        if (spec.kind == ControlKind::MaskedEdit) {
            auto *edit = As<MaskedEdit>(Widget(id));
            edit->onEntered = [this, id](bool byMouse) { core_.Entered(id, byMouse); };
            edit->onTabLeaving = [this, id] {
                return core_.MustBeRefused(id) && core_.Leaving(id, ControlId::None) == LeaveOutcome::Refused;
            };
            edit->onEditCommand = [this, id](char command) {
                if (command == '\x7f') core_.EditKey(id, EditCommand::Delete, false);
                else core_.Key(id, {command, false});
            };
        }
    }
    connect(qApp, &QApplication::focusChanged, this, &TFormMain::OnFocusChanged);
    // Keys reach the core before any control or shortcut sees them.
    qApp->installEventFilter(this);
}

ControlId TFormMain::ControlOf(const QWidget *w) const {
    for (; w && w != this; w = w->parentWidget())
        for (std::size_t i = 0; i < widgets_.size(); ++i)
            if (widgets_[i] == w) return static_cast<ControlId>(i);
    return ControlId::None;
}

// --- Events to the core --------------------------------------------------------------------------

bool TFormMain::event(QEvent *event) {
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::Show) core_.Shown();
    if (event->type() == QEvent::WindowActivate) core_.Activated();
    return handled;
}

void TFormMain::closeEvent(QCloseEvent *event) {
    if (core_.Closing()) event->accept();
    else event->ignore();
}

void TFormMain::OnFocusChanged(QWidget *old, QWidget *now) {
    if (!old || !now || old->window() != this || now->window() != this) return;
    const ControlId from = ControlOf(old);
    const ControlId to = ControlOf(now);
    if (from != to) core_.Leaving(from, to);
}

bool TFormMain::eventFilter(QObject *watched, QEvent *event) {
    if (droppingInput_ && IsUserInput(event)) {
        // Taken as handled, so that nothing acts on it (no shortcut either); a close is refused.
        // Input reaches the window (QWindow) before any widget, so no widget sees it.
        if (event->type() == QEvent::Close) event->ignore();
        else event->accept();
        return true;
    }
    if (!watched->isWidgetType()) return false;
    auto *widget = static_cast<QWidget *>(watched);
    if (widget->window() != this) return false;
    switch (event->type()) {
    case QEvent::ShortcutOverride: {
        // Alt+key comes to the core as a key, access keys included, not as Qt's own shortcut.
        const auto *key = static_cast<QKeyEvent *>(event);
        const Qt::KeyboardModifiers mods = key->modifiers();
        if ((mods & Qt::AltModifier) && !(mods & Qt::ControlModifier) && !key->text().isEmpty()) {
            event->accept();
            return true;
        }
        return false;
    }
    case QEvent::KeyPress: {
        QWidget *focus = QApplication::focusWidget();
        if (widget != focus && !(focus == nullptr && widget == this)) return false;
        return RouteKey(ControlOf(widget), static_cast<QKeyEvent *>(event));
    }
    case QEvent::FocusIn: {
        // Edit fields report their entries themselves; every other control here.
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        const ControlId id = ControlOf(widget);
        if (id != ControlId::None && Spec(id).kind != ControlKind::MaskedEdit && IsEntryReason(reason))
            core_.Entered(id, reason == Qt::MouseFocusReason);
        return false;
    }
    default:
        return false;
    }
}

bool TFormMain::RouteKey(ControlId focused, QKeyEvent *key) {
    const Qt::KeyboardModifiers mods = key->modifiers();
    // Ctrl+Alt is how Windows reports AltGr: typing, not an access key.
    const bool alt = (mods & Qt::AltModifier) && !(mods & Qt::ControlModifier);
    const bool control = (mods & Qt::ControlModifier) && !(mods & Qt::AltModifier);
    const bool shift = mods & Qt::ShiftModifier;
    const bool field = focused != ControlId::None && Spec(focused).kind == ControlKind::MaskedEdit;
    const int code = key->key();
    if (code == Qt::Key_Tab || code == Qt::Key_Backtab) return false;  // focus moves are Qt's
    if (const std::optional<EditCommand> command = CommandFor(code); command && !alt) {
        if (*command == EditCommand::Delete && shift) return core_.Key(focused, {'\x18', false}) == KeyOutcome::Consumed;
        return core_.EditKey(focused, *command, shift) == KeyOutcome::Consumed;
    }
    char ch = 0;
    switch (code) {
    case Qt::Key_Insert:  // Shift+Insert pastes, Ctrl+Insert copies
        ch = shift ? '\x16' : control ? '\x03' : 0;
        break;
    case Qt::Key_Backspace: ch = '\b'; break;
    case Qt::Key_Return:
    case Qt::Key_Enter: ch = '\r'; break;
    case Qt::Key_Escape: ch = '\x1b'; break;
    default: {
        const QString text = key->text();
        if (control && code >= Qt::Key_A && code <= Qt::Key_Z) {
            ch = static_cast<char>(code - Qt::Key_A + 1);  // Ctrl+V is 0x16
        } else if (text.size() == 1 && text[0].unicode() >= 0x20 && text[0].unicode() != 0x7F) {
            // A character outside Latin-1 becomes "?", as a conversion to the ANSI code page does.
            ch = text[0].unicode() <= 0xFF ? static_cast<char>(text[0].unicode()) : '?';
        }
        break;
    }
    }
    // In an edit field no key changes the text past the core.
    if (ch == 0) return field;
    return core_.Key(focused, {ch, alt}) == KeyOutcome::Consumed;
}

// --- What the core asks for ------------------------------------------------------------------------

EditState TFormMain::GetEditState(ControlId field) {
    const auto *edit = As<MaskedEdit>(Widget(field));
    EditState state;
    state.text = ToLatin1(edit->displayText());
    state.cursor = edit->cursorPosition();
    state.anchor = state.cursor;
    if (edit->hasSelectedText()) {
        const int start = edit->selectionStart();
        const int end = start + edit->selectionLength();
        state.anchor = state.cursor == start ? end : start;
    }
    return state;
}

void TFormMain::ShowEditState(ControlId field, const EditState &state) {
    auto *edit = As<MaskedEdit>(Widget(field));
    edit->setText(Latin1(state.text));
    if (state.anchor == state.cursor) edit->setCursorPosition(state.cursor);
    else edit->setSelection(state.anchor, state.cursor - state.anchor);
}

bool TFormMain::IsChecked(ControlId box) { return As<QCheckBox>(Widget(box))->isChecked(); }
void TFormMain::SetChecked(ControlId box, bool checked) { As<QCheckBox>(Widget(box))->setChecked(checked); }
void TFormMain::SetEnabled(ControlId control, bool enabled) { Widget(control)->setEnabled(enabled); }
bool TFormMain::IsEnabled(ControlId control) { return Widget(control)->isEnabled(); }
void TFormMain::Focus(ControlId control) { Widget(control)->setFocus(Qt::OtherFocusReason); }

std::string TFormMain::PortText() { return ToLatin1(ComboCOMPort->currentText()); }
int TFormMain::PortIndex() { return ComboCOMPort->currentIndex(); }

void TFormMain::AddPortEntry(const std::string &entry) {
    // An editable combo box selects its first entry by itself; only the core selects.
    const int selected = ComboCOMPort->currentIndex();
    ComboCOMPort->addItem(Latin1(entry));
    ComboCOMPort->setCurrentIndex(selected);
}

void TFormMain::SelectPortEntry(int index) { ComboCOMPort->setCurrentIndex(index); }

std::string TFormMain::ClipboardText() { return ToLatin1(QApplication::clipboard()->text()); }
void TFormMain::SetClipboardText(const std::string &text) { QApplication::clipboard()->setText(Latin1(text)); }

void TFormMain::Beep() { ::Beep(); }

void TFormMain::ShowMessageBox(const std::string &text, const std::string &caption, int flags) {
    const QMessageBox::Icon icon = (flags & kMessageBoxError) ? QMessageBox::Critical : QMessageBox::NoIcon;
    QMessageBox box(icon, Latin1(caption), Latin1(text), QMessageBox::Ok, this);
    box.exec();
}

void TFormMain::ShowExceptionDisplay(const std::string &text, const std::string &caption) {
    ::ShowExceptionDisplay(text, QString::fromLocal8Bit(caption));
}

void TFormMain::SetBusy(bool busy) {
    if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
    else QApplication::restoreOverrideCursor();
}

// The user's clicks and keys made while a transfer blocked the loop wait in Qt's queues, or still
// in the display server's: sync() takes in and delivers all of them (on X11 after a round trip to
// the server, so that nothing made before now is left behind), and the event filter drops them.
void TFormMain::DropQueuedInput() {
    droppingInput_ = true;
    QGuiApplication::sync();
    droppingInput_ = false;
}

void TFormMain::CloseWindow() { close(); }
