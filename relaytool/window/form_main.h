// The program's one window, "Korvex Repeater config": every control at its designed pixel place,
// and the event handlers as methods. The handlers are virtual so that a test can watch them.
#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class MaskedEdit;

// What happens to a window after its close handler: the handler may change it; caNone keeps the
// window open.
enum TCloseAction { caNone, caHide, caFree, caMinimize };

inline constexpr const char *kFormCaption = "Korvex Repeater config";

class TFormMain : public QWidget {
    Q_OBJECT
public:
    explicit TFormMain(QWidget *parent = nullptr);
    ~TFormMain() override;

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

    // Event handlers. Key-press handlers get the typed character by reference: they may replace
    // it, or set it to NUL to drop the key, before the field sees it.
    virtual void FormActivate(QObject *Sender);
    virtual void LoadButtonClick(QObject *Sender);
    virtual void SaveButtonClick(QObject *Sender);
    virtual void RfpiEditKeyPress(QObject *Sender, char &Key);
    virtual void RfpiEditExit(QObject *Sender);
    virtual void BaseRpnEditExit(QObject *Sender);
    virtual void RepeaterRbnEditKeyPress(QObject *Sender, char &Key);
    virtual void RepeaterRbnEditExit(QObject *Sender);
    virtual void MonitorBeepChkBoxExit(QObject *Sender);
    virtual void ParkEditExit(QObject *Sender);
    virtual void ParkEditKeyPress(QObject *Sender, char &Key);
    virtual void BaseRpnEditKeyPress(QObject *Sender, char &Key);
    virtual void FormClose(QObject *Sender, TCloseAction &Action);
    virtual void Button1Click(QObject *Sender);

private:
    void CreateControls();
    void ArrangeStackingAndTabOrder();
    void BindEvents();
};

// The program's window, set at start-up.
extern TFormMain *FormMain;
