// Binds the window's activation and close to its handlers: FormActivate at the first activation
// only (once per window, so once per run), FormClose when the window closes.
#pragma once

#include <QObject>

class TFormMain;

class FormEvents : public QObject {
public:
    explicit FormEvents(TFormMain *form);

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TFormMain *form_;
    bool activated_ = false;
    bool closed_ = false;
};
