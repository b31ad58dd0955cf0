// The program's one window on Qt, "Korvex Repeater config": a view over the form core. It builds
// every control from the control table, forwards the user's events (keys, clicks, focus moves,
// activation, close) to the core and shows what the core asks for. It decides no rule itself.
#pragma once

#include "form_core.h"
#include "form_view.h"

#include <QWidget>

#include <array>
#include <memory>

class QCheckBox;
class QComboBox;
class QFrame;
class QKeyEvent;
class QLabel;
class QPushButton;
class MaskedEdit;
class SystemServices;

class TFormMain : public QWidget, public FormView {
    Q_OBJECT
public:
    // system: the operating-system services (null: the platform's own, owned by the window).
    explicit TFormMain(SystemServices *system = nullptr, QWidget *parent = nullptr);
    ~TFormMain() override;

    FormCore &Core() { return core_; }

    // The control of the table that is w or contains it (the port list's inner line edit counts
    // as the port list), or ControlId::None.
    ControlId ControlOf(const QWidget *w) const;
    QWidget *Widget(ControlId id) const { return widgets_[static_cast<std::size_t>(id)]; }

    // The controls, in creation order, which is also their stacking order (pictures and labels
    // lie beneath the other controls of the same parent).
    QLabel *Image1;
    QLabel *Label1;
    QLabel *Label6;
    QLabel *Image2;
    QFrame *Panel2;
    QLabel *Label4;
    QLabel *Label5;
    QLabel *Label12;
    MaskedEdit *WrsRfpiEdit;
    QCheckBox *HopCtrlChkBox;
    QFrame *Panel1;
    QLabel *Label9;
    QLabel *Label10;
    QLabel *Label11;
    QLabel *Label14;
    QComboBox *ComboCOMPort;
    QPushButton *LoadButton;
    QPushButton *SaveButton;
    QCheckBox *MonitorBeepChkBox;
    MaskedEdit *RepeaterRbnEdit;
    MaskedEdit *BaseRpnEdit;
    MaskedEdit *ParkPliEdit;
    MaskedEdit *ParkEdit;
    MaskedEdit *ParkChkEdit;
    QPushButton *Button1;
    MaskedEdit *RfpiEdit;

    // FormView.
    EditState GetEditState(ControlId field) override;
    void ShowEditState(ControlId field, const EditState &state) override;
    bool IsChecked(ControlId box) override;
    void SetChecked(ControlId box, bool checked) override;
    void SetEnabled(ControlId control, bool enabled) override;
    bool IsEnabled(ControlId control) override;
    void Focus(ControlId control) override;
    std::string PortText() override;
    int PortIndex() override;
    void AddPortEntry(const std::string &entry) override;
    void SelectPortEntry(int index) override;
    std::string ClipboardText() override;
    void SetClipboardText(const std::string &text) override;
    void Beep() override;
    void ShowMessageBox(const std::string &text, const std::string &caption, int flags) override;
    void ShowExceptionDisplay(const std::string &text, const std::string &caption) override;
    void SetBusy(bool busy) override;
    void DropQueuedInput() override;
    void CloseWindow() override;

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void CreateControls();
    void ArrangeStackingAndTabOrder();
    void BindEvents();
    // A key for the focused control, as the core sees keys; true when the core took it.
    bool RouteKey(ControlId focused, QKeyEvent *key);
    void OnFocusChanged(QWidget *old, QWidget *now);

    std::unique_ptr<SystemServices> ownSystem_;
    FormCore core_;
    std::array<QWidget *, kControlCount> widgets_{};
    bool droppingInput_ = false;  // the event filter drops the user's input (DropQueuedInput)
};

// The program's window, set at start-up.
extern TFormMain *FormMain;
