#include "access_keys.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPushButton>

namespace {

class AccessKeys : public QObject {
public:
    AccessKeys(QWidget *window, std::function<bool()> commitFocused)
        : QObject(window), window_(window), commitFocused_(std::move(commitFocused)) {}

    bool eventFilter(QObject *watched, QEvent *event) override {
        switch (event->type()) {
        case QEvent::Shortcut:
            // Alt+letter: Qt clicks the button after this; a refused commit swallows the key.
            return !Commit();
        case QEvent::KeyPress:
            return PlainLetter(static_cast<QKeyEvent *>(event));
        default:
            return QObject::eventFilter(watched, event);
        }
    }

private:
    bool Commit() const { return !commitFocused_ || commitFocused_(); }

    // A plain letter on a button or check box: the button it names is clicked.
    bool PlainLetter(const QKeyEvent *key) const {
        if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
        const QString text = key->text();
        if (text.size() != 1 || !text[0].isLetterOrNumber()) return false;
        const QKeySequence accessKey(Qt::ALT | Qt::Key(text[0].toUpper().unicode()));
        for (QPushButton *button : window_->findChildren<QPushButton *>()) {
            if (QKeySequence::mnemonic(button->text()) != accessKey) continue;
            if (button->isEnabled() && button->isVisible() && Commit()) button->animateClick();
            return true;
        }
        return false;
    }

    QWidget *window_;
    std::function<bool()> commitFocused_;
};

}  // namespace

void InstallAccessKeys(QWidget *window, std::function<bool()> commitFocused) {
    auto *filter = new AccessKeys(window, std::move(commitFocused));
    for (QAbstractButton *button : window->findChildren<QAbstractButton *>()) button->installEventFilter(filter);
}
