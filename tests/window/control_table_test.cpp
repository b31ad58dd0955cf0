// The window the Qt view builds: every control's name, kind, parent, place, size, text, hint and
// state, the stacking and tab order, fonts, and that no text is clipped with the font that serves.
#include "dialog_font.h"
#include "masked_edit.h"
#include "window_fixture.h"

#include <QCheckBox>
#include <QAbstractItemView>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTest>

namespace {

enum class Kind { Picture, Label, Panel, MaskedEdit, CheckBox, ComboBox, PushButton };

struct ControlRow {
    const char *name;
    Kind kind;
    const char *parent;
    QRect geometry;
    const char *text;  // caption, or an edit's full display text
    const char *hint;
    bool readOnly;
    const char *mask;
};

const QString k14Blanks(14, u' ');
const QString k11Blanks(11, u' ');

// In creation order. Written out here rather than read from the control table, so that a slip in
// the table or in the view's use of it fails this test.
const ControlRow kControls[] = {
    {"Image1", Kind::Picture, "FormMain", {104, 160, 81, 161}, "", "", false, ""},
    {"Label1", Kind::Label, "FormMain", {6, 7, 59, 16}, "COM port:", "", false, ""},
    {"Label6", Kind::Label, "FormMain", {4, 510, 274, 16}, "Korvex Repeater configuration version: 1.04", "", false, ""},
    {"Image2", Kind::Picture, "FormMain", {8, 480, 97, 25}, "", "", false, ""},
    {"Panel2", Kind::Panel, "FormMain", {8, 288, 281, 161}, "", "", false, ""},
    {"Label4", Kind::Label, "Panel2", {80, 8, 111, 24}, "REPEATER", "The repeater is being configured", false, ""},
    {"Label5", Kind::Label, "Panel2", {144, 64, 32, 16}, "RPN:", "", false, ""},
    {"Label12", Kind::Label, "Panel2", {8, 96, 112, 20}, "Repeater RFPI:", "RFPI transmitted by the Repeater", false, ""},
    {"WrsRfpiEdit", Kind::MaskedEdit, "Panel2", {126, 89, 99, 24}, "              ",
     "Identity of repeater. 5 hexadecimal numbers are generated.", true, "AA AA AA AA AA;1; "},
    {"HopCtrlChkBox", Kind::CheckBox, "Panel2", {8, 32, 137, 17}, "Ignore HOP control", "", false, ""},
    {"Panel1", Kind::Panel, "FormMain", {8, 48, 281, 169}, "", "", false, ""},
    {"Label9", Kind::Label, "Panel1", {8, 56, 33, 16}, "RFPI:", "", false, ""},
    {"Label10", Kind::Label, "Panel1", {8, 96, 39, 16}, "PARK:", "", false, ""},
    {"Label11", Kind::Label, "Panel1", {208, 96, 32, 16}, "RPN:", "", false, ""},
    {"Label14", Kind::Label, "Panel1", {40, 8, 186, 24}, "NETWORK DEVICE", "Basestation or other repeater", false, ""},
    {"ComboCOMPort", Kind::ComboBox, "FormMain", {78, 7, 75, 24}, "", "Select serial communication port", false, ""},
    {"LoadButton", Kind::PushButton, "FormMain", {46, 410, 92, 31}, "&Load", "Load current repeater configuration", false, ""},
    {"SaveButton", Kind::PushButton, "FormMain", {146, 410, 92, 31}, "&Save", "Save configuration in to Repeater", false, ""},
    {"MonitorBeepChkBox", Kind::CheckBox, "FormMain", {16, 338, 115, 21}, "Monitor beep",
     "Audio tone for connection verifcation", false, ""},
    {"RepeaterRbnEdit", Kind::MaskedEdit, "FormMain", {190, 345, 41, 24}, "",
     "Repeater RPN value (decimal representation of RFPI last byte)", false, ""},
    {"BaseRpnEdit", Kind::MaskedEdit, "FormMain", {251, 144, 30, 24}, "",
     "RPN value of parent transmitter (decimal representation of RFPI last byte)", false, ""},
    {"ParkPliEdit", Kind::MaskedEdit, "FormMain", {64, 144, 25, 24}, "", "ID length", true, ""},
    {"ParkEdit", Kind::MaskedEdit, "FormMain", {95, 144, 82, 24}, "           ", "Octal representation ", false,
     "00000000000;1; "},
    {"ParkChkEdit", Kind::MaskedEdit, "FormMain", {183, 144, 18, 24}, "", "ID checksum  field", true, ""},
    {"Button1", Kind::PushButton, "FormMain", {120, 472, 49, 33}, "Quit", "Exit program", false, ""},
    {"RfpiEdit", Kind::MaskedEdit, "FormMain", {62, 105, 99, 24}, "              ",
     "Identity of basestation/repeater. Contains 5 hexadecimal numbers.", false, "AA AA AA AA AA;1; "},
};

bool HasKind(QWidget *w, Kind kind) {
    switch (kind) {
    case Kind::Picture: {
        auto *label = qobject_cast<QLabel *>(w);
        return label && !label->pixmap().isNull() && label->text().isEmpty();
    }
    case Kind::Label: {
        auto *label = qobject_cast<QLabel *>(w);
        return label && label->pixmap().isNull();
    }
    case Kind::Panel: {
        auto *frame = qobject_cast<QFrame *>(w);
        return frame && !qobject_cast<QLabel *>(w) && frame->frameShape() == QFrame::Panel &&
               frame->frameShadow() == QFrame::Raised && frame->lineWidth() == 1;
    }
    case Kind::MaskedEdit: return qobject_cast<MaskedEdit *>(w) != nullptr;
    case Kind::CheckBox: return qobject_cast<QCheckBox *>(w) != nullptr;
    case Kind::ComboBox: return qobject_cast<QComboBox *>(w) != nullptr;
    case Kind::PushButton: return qobject_cast<QPushButton *>(w) != nullptr;
    }
    return false;
}

QString ShownText(QWidget *w) {
    if (auto *label = qobject_cast<QLabel *>(w)) return label->text();
    if (auto *edit = qobject_cast<MaskedEdit *>(w)) return edit->displayText();
    if (auto *button = qobject_cast<QAbstractButton *>(w)) return button->text();
    if (auto *combo = qobject_cast<QComboBox *>(w)) return combo->currentText();
    return {};
}

using ControlTable = WindowTest;

TEST_F(ControlTable, EveryControlInPlace) {
    RecordingForm &f = Open();
    for (const ControlRow &row : kControls) {
        SCOPED_TRACE(row.name);
        auto *w = f.findChild<QWidget *>(QString::fromLatin1(row.name));
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(HasKind(w, row.kind));
        ASSERT_NE(w->parentWidget(), nullptr);
        EXPECT_EQ(w->parentWidget()->objectName().toStdString(), row.parent);
        EXPECT_EQ(w->geometry(), row.geometry);
        EXPECT_EQ(ShownText(w).toStdString(), row.text);
        EXPECT_EQ(w->toolTip().toStdString(), row.hint);
        EXPECT_TRUE(w->isEnabled());
        if (auto *edit = qobject_cast<MaskedEdit *>(w)) {
            EXPECT_EQ(edit->isReadOnly(), row.readOnly);
            EXPECT_EQ(edit->EditMask().toStdString(), row.mask);
            EXPECT_TRUE(edit->focusPolicy() & Qt::TabFocus) << "read-only fields are in the tab order too";
        }
        if (auto *box = qobject_cast<QCheckBox *>(w)) {
            EXPECT_FALSE(box->isChecked());
        }
    }
}

TEST_F(ControlTable, MembersAreTheNamedControls) {
    RecordingForm &f = Open();
    const std::pair<const char *, QWidget *> members[] = {
        {"Image1", f.Image1}, {"Label1", f.Label1}, {"Label6", f.Label6}, {"Image2", f.Image2},
        {"Panel2", f.Panel2}, {"Label4", f.Label4}, {"Label5", f.Label5}, {"Label12", f.Label12},
        {"WrsRfpiEdit", f.WrsRfpiEdit}, {"HopCtrlChkBox", f.HopCtrlChkBox}, {"Panel1", f.Panel1},
        {"Label9", f.Label9}, {"Label10", f.Label10}, {"Label11", f.Label11}, {"Label14", f.Label14},
        {"ComboCOMPort", f.ComboCOMPort}, {"LoadButton", f.LoadButton}, {"SaveButton", f.SaveButton},
        {"MonitorBeepChkBox", f.MonitorBeepChkBox}, {"RepeaterRbnEdit", f.RepeaterRbnEdit},
        {"BaseRpnEdit", f.BaseRpnEdit}, {"ParkPliEdit", f.ParkPliEdit}, {"ParkEdit", f.ParkEdit},
        {"ParkChkEdit", f.ParkChkEdit}, {"Button1", f.Button1}, {"RfpiEdit", f.RfpiEdit}};
    ASSERT_EQ(std::size(members), std::size(kControls));
    for (const auto &[name, member] : members) {
        SCOPED_TRACE(name);
        EXPECT_EQ(member, f.findChild<QWidget *>(QString::fromLatin1(name)));
    }
    EXPECT_EQ(f.objectName(), "FormMain");
}

TEST_F(ControlTable, WindowFrameSizeAndPlace) {
    RecordingForm &f = Open();
    EXPECT_EQ(f.windowTitle(), "Korvex Repeater config");
    EXPECT_EQ(f.size(), QSize(295, 532));
    EXPECT_EQ(f.minimumSize(), QSize(295, 532));
    EXPECT_EQ(f.maximumSize(), QSize(295, 532));
    EXPECT_EQ(f.pos(), QPoint(431, 173));
    const Qt::WindowFlags flags = f.windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
    EXPECT_TRUE(flags & Qt::WindowTitleHint);
    EXPECT_FALSE(f.windowIcon().isNull());
    EXPECT_EQ(f.windowIcon().availableSizes().value(0), QSize(32, 32));
    EXPECT_EQ(f.backgroundRole(), QPalette::Button);
    EXPECT_DOUBLE_EQ(f.devicePixelRatioF(), 1.0);
}

TEST_F(ControlTable, PicturesAndIconAreOurArtwork) {
    RecordingForm &f = Open();
    EXPECT_EQ(f.Image1->pixmap().size(), QSize(75, 150));
    EXPECT_EQ(f.Image2->pixmap().size(), QSize(95, 24));
    EXPECT_EQ(f.Image1->alignment(), Qt::AlignLeft | Qt::AlignTop);
    EXPECT_FALSE(f.Image1->hasScaledContents());
    const QImage icon(QStringLiteral(":/relaytool/relaytool.ico"));
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.size(), QSize(32, 32));
    EXPECT_LE(icon.colorCount(), 16);
    for (const char *bitmap : {":/relaytool/repeater.bmp", ":/relaytool/product_strip.bmp"})
        EXPECT_EQ(QImage(QString::fromLatin1(bitmap)).bitPlaneCount(), 24) << bitmap;
}

TEST_F(ControlTable, FontsAtTheirPixelHeights) {
    RecordingForm &f = Open();
    struct FontRow {
        QWidget *control;
        int pixels;
        bool bold;
    };
    const FontRow rows[] = {{&f, 14, false},         {f.Label1, 14, false}, {f.RfpiEdit, 14, false},
                            {f.LoadButton, 14, false}, {f.Label4, 20, true}, {f.Label14, 20, true},
                            {f.Label12, 17, false}};
    for (const FontRow &row : rows) {
        SCOPED_TRACE(row.control->objectName().toStdString());
        const QFont font = row.control->font();
        EXPECT_EQ(font.family(), DialogFontFamily());
        EXPECT_EQ(font.pixelSize(), row.pixels);
        EXPECT_EQ(font.bold(), row.bold);
        const QFontInfo drawn(font);
        EXPECT_EQ(drawn.family(), DialogFontFamily()) << "the chosen font must be the one drawn";
        EXPECT_EQ(drawn.pixelSize(), row.pixels);
    }
    // The caption colours: menu text for the window and Label14, window text for Label4, Label12.
    EXPECT_EQ(f.Label4->palette().color(QPalette::WindowText),
              QApplication::palette().color(QPalette::Active, QPalette::WindowText));
    EXPECT_EQ(f.Label14->palette().color(QPalette::WindowText),
              QApplication::palette("QMenu").color(QPalette::Active, QPalette::WindowText));
}

// No caption or field text of the control table is cut off with the font that serves on this
// machine.
TEST_F(ControlTable, NothingIsClipped) {
    RecordingForm &f = Open();
    for (QLabel *label : {f.Label1, f.Label6, f.Label4, f.Label5, f.Label12, f.Label9, f.Label10, f.Label11, f.Label14}) {
        SCOPED_TRACE(label->objectName().toStdString());
        const QFontMetrics metrics(label->font());
        EXPECT_LE(metrics.horizontalAdvance(label->text()), label->width());
        EXPECT_LE(metrics.height(), label->height());
    }
    for (QCheckBox *box : {f.HopCtrlChkBox, f.MonitorBeepChkBox}) {
        SCOPED_TRACE(box->objectName().toStdString());
        EXPECT_LE(box->sizeHint().width(), box->width());
    }
    for (QPushButton *button : {f.LoadButton, f.SaveButton, f.Button1})
        EXPECT_LE(QFontMetrics(button->font()).horizontalAdvance(button->text().remove(u'&')) + 8, button->width());

    // The widest texts each field holds once loaded.
    const std::pair<MaskedEdit *, const char *> samples[] = {
        {f.RfpiEdit, "02 5A 3C 81 43"}, {f.WrsRfpiEdit, "02 5A 3C 81 43"}, {f.ParkEdit, "01132171005"},
        {f.ParkPliEdit, "31"},          {f.ParkChkEdit, "*"},             {f.BaseRpnEdit, "255"},
        {f.RepeaterRbnEdit, "255"}};
    for (const auto &[edit, text] : samples) {
        SCOPED_TRACE(edit->objectName().toStdString());
        edit->setText(QString::fromLatin1(text));
        QStyleOptionFrame option;
        option.initFrom(edit);
        option.rect = edit->rect();
        option.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
        const QRect contents = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
        const int textRoom = contents.width() - 2 * 2;  // QLineEdit keeps two pixels each side
        EXPECT_LE(QFontMetrics(edit->font()).horizontalAdvance(edit->displayText()), textRoom);
    }
}

TEST_F(ControlTable, StackingOrder) {
    RecordingForm &f = Open();
    auto namedChildren = [](QWidget *parent) {
        std::vector<std::string> names;
        for (QObject *child : parent->children())
            if (child->isWidgetType() && !child->objectName().isEmpty() && child->parent() == parent)
                names.push_back(child->objectName().toStdString());
        return names;
    };
    // Bottom first: pictures and labels beneath everything else of their parent.
    EXPECT_EQ(namedChildren(&f),
              (std::vector<std::string>{"Image1", "Label1", "Label6", "Image2", "Panel2", "Panel1", "ComboCOMPort",
                                        "LoadButton", "SaveButton", "MonitorBeepChkBox", "RepeaterRbnEdit",
                                        "BaseRpnEdit", "ParkPliEdit", "ParkEdit", "ParkChkEdit", "Button1",
                                        "RfpiEdit"}));
    EXPECT_EQ(namedChildren(f.Panel2),
              (std::vector<std::string>{"Label4", "Label5", "Label12", "WrsRfpiEdit", "HopCtrlChkBox"}));
    EXPECT_EQ(namedChildren(f.Panel1), (std::vector<std::string>{"Label9", "Label10", "Label11", "Label14"}));

    // What a click at a window point reaches: the panels cover Image1 except the strip between them.
    struct Hit {
        QPoint point;
        QWidget *expected;
    };
    const Hit hits[] = {{{140, 200}, f.Panel1},  {{140, 217}, f.Image1},         {{140, 287}, f.Image1},
                        {{250, 330}, f.Panel2},  {{60, 420}, f.LoadButton},      {{20, 345}, f.MonitorBeepChkBox},
                        {{70, 110}, f.RfpiEdit}, {{150, 385}, f.WrsRfpiEdit}};
    for (const Hit &hit : hits) {
        QWidget *at = f.childAt(hit.point);
        while (at && at != hit.expected && at->parentWidget() != &f && at->parentWidget() != f.Panel1 &&
               at->parentWidget() != f.Panel2)
            at = at->parentWidget();
        EXPECT_EQ(at, hit.expected) << hit.point.x() << "," << hit.point.y();
    }
}

TEST_F(ControlTable, TabOrderStartsAtThePortListAndWraps) {
    Open();
    EXPECT_EQ(FocusedControlName(), "ComboCOMPort");
    const std::vector<std::string> expected = {"LoadButton", "SaveButton", "MonitorBeepChkBox", "RfpiEdit",
                                               "RepeaterRbnEdit", "BaseRpnEdit", "ParkPliEdit", "ParkEdit",
                                               "ParkChkEdit", "Button1", "WrsRfpiEdit", "HopCtrlChkBox",
                                               "ComboCOMPort"};
    std::vector<std::string> visited;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        QTest::keyClick(static_cast<QWidget *>(nullptr), Qt::Key_Tab);
        visited.push_back(FocusedControlName());
    }
    EXPECT_EQ(visited, expected);
    EXPECT_TRUE(watchdog.Boxes().empty());
}

TEST_F(ControlTable, PortListIsEditableUnsortedWithSixteenPixelRows) {
    RecordingForm &f = Open();
    QComboBox *combo = f.ComboCOMPort;
    EXPECT_TRUE(combo->isEditable());
    EXPECT_EQ(combo->count(), 0) << "no ports published";
    EXPECT_EQ(combo->currentIndex(), -1);
    combo->addItem("COM3");
    combo->addItem("COM1");
    EXPECT_EQ(combo->itemText(0), "COM3") << "entries stay in the order added";
    EXPECT_EQ(combo->view()->sizeHintForRow(0), 16);
    // Typed text is taken as typed: no completion from the list, and no entry added by Enter.
    combo->setCurrentIndex(-1);
    combo->setFocus();
    QTest::keyClicks(combo, "C");
    QTest::keyClick(combo, Qt::Key_Return);
    EXPECT_EQ(combo->currentText(), "C");
    EXPECT_EQ(combo->count(), 2);
}

}  // namespace
