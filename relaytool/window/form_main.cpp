// The window as designed: properties, controls (in creation order), stacking, tab order and the
// binding of control events to the handlers.
#include "form_main.h"

#include "access_keys.h"
#include "dialog_font.h"
#include "exception_display.h"
#include "field_exits.h"
#include "fixed_row_delegate.h"
#include "form_events.h"
#include "masked_edit.h"
#include "system_colors.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

TFormMain *FormMain = nullptr;

namespace {

constexpr int kClientWidth = 295;
constexpr int kClientHeight = 532;
constexpr int kScreenLeft = 431;
constexpr int kScreenTop = 173;
constexpr int kFontPixels = 14;
constexpr int kPortListRowPixels = 16;

template <typename W>
W *Place(W *widget, const char *name, int left, int top, int width, int height) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(left, top, width, height);
    return widget;
}

QLabel *MakeLabel(QWidget *parent, const char *name, int left, int top, int width, int height, const char *caption) {
    auto *label = Place(new QLabel(QString::fromLatin1(caption), parent), name, left, top, width, height);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

// A picture: the bitmap drawn unscaled at the box's top-left corner.
QLabel *MakePicture(QWidget *parent, const char *name, int left, int top, int width, int height, const char *resource) {
    auto *picture = Place(new QLabel(parent), name, left, top, width, height);
    picture->setPixmap(QPixmap(QString::fromLatin1(resource)));
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return picture;
}

void UseTextColor(QWidget *widget, const QColor &color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    palette.setColor(QPalette::ButtonText, color);
    widget->setPalette(palette);
}

void UseBackground(QWidget *widget, QPalette::ColorRole role, const QColor &color) {
    QPalette palette = widget->palette();
    palette.setColor(role, color);
    widget->setPalette(palette);
}

// A panel with a raised frame one pixel wide, painting its own background over what lies beneath.
QFrame *MakePanel(QWidget *parent, const char *name, int left, int top, int width, int height) {
    auto *panel = Place(new QFrame(parent), name, left, top, width, height);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(1);
    panel->setBackgroundRole(QPalette::Button);
    panel->setAutoFillBackground(true);
    return panel;
}

MaskedEdit *MakeEdit(QWidget *parent, const char *name, int left, int top, int width, int height,
                     const char *mask, const char *hint) {
    auto *edit = Place(new MaskedEdit(parent), name, left, top, width, height);
    edit->SetEditMask(QString::fromLatin1(mask));
    edit->setToolTip(QString::fromLatin1(hint));
    return edit;
}

void MakeReadOnly(MaskedEdit *edit) {
    edit->setReadOnly(true);
    UseBackground(edit, QPalette::Base, InactiveBorderColor());
}

}  // namespace

TFormMain::TFormMain(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QString::fromLatin1(kFormCaption));
    // A fixed dialog frame: title bar with system menu and close button, no minimise or maximise.
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);
    move(kScreenLeft, kScreenTop);
    setWindowIcon(QIcon(QStringLiteral(":/relaytool/relaytool.ico")));
    setFont(DialogFont(kFontPixels));
    UseTextColor(this, MenuTextColor());
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);

    CreateControls();
    ArrangeStackingAndTabOrder();
    BindEvents();
}

TFormMain::~TFormMain() {
    if (FormMain == this) FormMain = nullptr;
}

void TFormMain::CreateControls() {
    Image1 = MakePicture(this, "Image1", 104, 160, 81, 161, ":/relaytool/repeater.bmp");
    Label1 = MakeLabel(this, "Label1", 6, 7, 59, 16, "COM port:");
    Label6 = MakeLabel(this, "Label6", 4, 510, 274, 16, "Korvex Repeater configuration version: 1.04");
    Image2 = MakePicture(this, "Image2", 8, 480, 97, 25, ":/relaytool/product_strip.bmp");

    Panel2 = MakePanel(this, "Panel2", 8, 288, 281, 161);
    Label4 = MakeLabel(Panel2, "Label4", 80, 8, 111, 24, "REPEATER");
    Label4->setToolTip(QStringLiteral("The repeater is being configured"));
    Label4->setFont(DialogFont(20, true));
    UseTextColor(Label4, WindowTextColor());
    Label5 = MakeLabel(Panel2, "Label5", 144, 64, 32, 16, "RPN:");
    Label12 = MakeLabel(Panel2, "Label12", 8, 96, 112, 20, "Repeater RFPI:");
    Label12->setToolTip(QStringLiteral("RFPI transmitted by the Repeater"));
    Label12->setFont(DialogFont(17));
    UseTextColor(Label12, WindowTextColor());
    WrsRfpiEdit = MakeEdit(Panel2, "WrsRfpiEdit", 126, 89, 99, 24, "AA AA AA AA AA;1; ",
                           "Identity of repeater. 5 hexadecimal numbers are generated.");
    MakeReadOnly(WrsRfpiEdit);
    HopCtrlChkBox = Place(new QCheckBox(QStringLiteral("Ignore HOP control"), Panel2), "HopCtrlChkBox", 8, 32, 137, 17);

    Panel1 = MakePanel(this, "Panel1", 8, 48, 281, 169);
    Label9 = MakeLabel(Panel1, "Label9", 8, 56, 33, 16, "RFPI:");
    Label10 = MakeLabel(Panel1, "Label10", 8, 96, 39, 16, "PARK:");
    Label11 = MakeLabel(Panel1, "Label11", 208, 96, 32, 16, "RPN:");
    Label14 = MakeLabel(Panel1, "Label14", 40, 8, 186, 24, "NETWORK DEVICE");
    Label14->setToolTip(QStringLiteral("Basestation or other repeater"));
    Label14->setFont(DialogFont(20, true));

    ComboCOMPort = Place(new QComboBox(this), "ComboCOMPort", 78, 7, 75, 24);
    ComboCOMPort->setEditable(true);
    ComboCOMPort->setInsertPolicy(QComboBox::NoInsert);  // the list is the probe's, typing adds nothing
    ComboCOMPort->setCompleter(nullptr);                  // typed text stays as typed
    ComboCOMPort->setItemDelegate(new FixedRowDelegate(kPortListRowPixels, ComboCOMPort));
    ComboCOMPort->setToolTip(QStringLiteral("Select serial communication port"));

    LoadButton = Place(new QPushButton(QStringLiteral("&Load"), this), "LoadButton", 46, 410, 92, 31);
    LoadButton->setToolTip(QStringLiteral("Load current repeater configuration"));
    SaveButton = Place(new QPushButton(QStringLiteral("&Save"), this), "SaveButton", 146, 410, 92, 31);
    SaveButton->setToolTip(QStringLiteral("Save configuration in to Repeater"));
    MonitorBeepChkBox = Place(new QCheckBox(QStringLiteral("Monitor beep"), this), "MonitorBeepChkBox", 16, 338, 115, 21);
    MonitorBeepChkBox->setToolTip(QStringLiteral("Audio tone for connection verifcation"));

    RepeaterRbnEdit = MakeEdit(this, "RepeaterRbnEdit", 190, 345, 41, 24, "",
                               "Repeater RPN value (decimal representation of RFPI last byte)");
    BaseRpnEdit = MakeEdit(this, "BaseRpnEdit", 251, 144, 30, 24, "",
                           "RPN value of parent transmitter (decimal representation of RFPI last byte)");
    ParkPliEdit = MakeEdit(this, "ParkPliEdit", 64, 144, 25, 24, "", "ID length");
    MakeReadOnly(ParkPliEdit);
    ParkEdit = MakeEdit(this, "ParkEdit", 95, 144, 82, 24, "00000000000;1; ", "Octal representation ");
    ParkChkEdit = MakeEdit(this, "ParkChkEdit", 183, 144, 18, 24, "", "ID checksum  field");
    MakeReadOnly(ParkChkEdit);
    Button1 = Place(new QPushButton(QStringLiteral("Quit"), this), "Button1", 120, 472, 49, 33);
    Button1->setToolTip(QStringLiteral("Exit program"));
    RfpiEdit = MakeEdit(this, "RfpiEdit", 62, 105, 99, 24, "AA AA AA AA AA;1; ",
                        "Identity of basestation/repeater. Contains 5 hexadecimal numbers.");

    for (QPushButton *button : {LoadButton, SaveButton, Button1}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
}

void TFormMain::ArrangeStackingAndTabOrder() {
    // Pictures and labels are drawn on their parent's surface: beneath every other control of
    // that parent, keeping their own creation order among themselves.
    for (QLabel *graphic : {Label14, Label11, Label10, Label9, Label12, Label5, Label4, Image2, Label6, Label1, Image1})
        graphic->lower();

    QWidget *const order[] = {ComboCOMPort, LoadButton, SaveButton, MonitorBeepChkBox, RfpiEdit,
                             RepeaterRbnEdit, BaseRpnEdit, ParkPliEdit, ParkEdit, ParkChkEdit,
                             Button1, WrsRfpiEdit, HopCtrlChkBox};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
    // The chain wraps from the last control back to the first; the window starts on the first.
    ComboCOMPort->setFocus(Qt::OtherFocusReason);
}

void TFormMain::BindEvents() {
    auto guarded = [](auto handler) { return [handler] { RunGuarded(handler); }; };
    connect(LoadButton, &QPushButton::clicked, this, guarded([this] { LoadButtonClick(LoadButton); }));
    connect(SaveButton, &QPushButton::clicked, this, guarded([this] { SaveButtonClick(SaveButton); }));
    connect(Button1, &QPushButton::clicked, this, guarded([this] { Button1Click(Button1); }));

    RfpiEdit->SetKeyPressHandler([this](char &key) { RfpiEditKeyPress(RfpiEdit, key); });
    WrsRfpiEdit->SetKeyPressHandler([this](char &key) { RfpiEditKeyPress(WrsRfpiEdit, key); });
    BaseRpnEdit->SetKeyPressHandler([this](char &key) { BaseRpnEditKeyPress(BaseRpnEdit, key); });
    RepeaterRbnEdit->SetKeyPressHandler([this](char &key) { RepeaterRbnEditKeyPress(RepeaterRbnEdit, key); });
    ParkEdit->SetKeyPressHandler([this](char &key) { ParkEditKeyPress(ParkEdit, key); });

    auto *exits = new FieldExits(this);
    exits->Bind(RfpiEdit, [this] { RfpiEditExit(RfpiEdit); });
    exits->Bind(WrsRfpiEdit, [this] { RfpiEditExit(WrsRfpiEdit); });
    exits->Bind(BaseRpnEdit, [this] { BaseRpnEditExit(BaseRpnEdit); });
    exits->Bind(RepeaterRbnEdit, [this] { RepeaterRbnEditExit(RepeaterRbnEdit); });
    exits->Bind(ParkEdit, [this] { ParkEditExit(ParkEdit); });
    exits->Bind(MonitorBeepChkBox, [this] { MonitorBeepChkBoxExit(MonitorBeepChkBox); });

    new FormEvents(this);
    InstallAccessKeys(this, [exits] { return exits->CommitFocused(); });
}
