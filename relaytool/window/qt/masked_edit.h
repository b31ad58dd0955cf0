// The Qt control of the window's edit fields. It shows what the form core decides: the core
// edits the text (masked_text.h), blanks and literals of a masked field included, and this
// control only displays it.
#pragma once

#include <QLineEdit>
#include <QString>

#include <functional>

class MaskedEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit MaskedEdit(QWidget *parent = nullptr);

    // The mask of the control table ("pattern;saveLiterals;blank"; "" for a plain field), kept
    // for what the control shows of itself.
    void SetEditMask(const QString &mask) { editMask_ = mask; }
    QString EditMask() const { return editMask_; }
    bool IsMasked() const { return !editMask_.section(u';', 0, 0).isEmpty(); }

    // The form's hooks: the focus arrived (byMouse: by a click), Tab asks to leave (true: the
    // field keeps the focus), and an edit command of the context menu, given as the control
    // character its key types (Ctrl+V 0x16, Ctrl+X 0x18) or Delete (0x7F).
    std::function<void(bool byMouse)> onEntered;
    std::function<bool()> onTabLeaving;
    std::function<void(char command)> onEditCommand;

protected:
    void focusInEvent(QFocusEvent *event) override;
    bool focusNextPrevChild(bool next) override;
    // Every change of the text goes through the form core: the context menu's edit commands are
    // sent there, and text dropped or pasted with the middle button is not taken.
    void contextMenuEvent(QContextMenuEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QString editMask_;
};
