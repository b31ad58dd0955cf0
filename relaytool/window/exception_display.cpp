#include "exception_display.h"

#include <QApplication>
#include <QMessageBox>

#include <algorithm>

QString ApplicationTitleFor(const QString &executablePath) {
    // Both separators count, so a Windows path gives the same title on any platform.
    const qsizetype slash = std::max(executablePath.lastIndexOf(u'/'), executablePath.lastIndexOf(u'\\'));
    QString name = executablePath.mid(slash + 1);
    const qsizetype dot = name.indexOf(u'.');
    if (dot >= 0) name.truncate(dot);
    if (name.isEmpty()) return name;
    return name.left(1).toUpper() + name.mid(1).toLower();
}

QString ApplicationTitle() {
    return ApplicationTitleFor(QCoreApplication::applicationFilePath());
}

std::string WithClosingFullStop(const std::string &message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.'))
        return message + '.';
    return message;
}

void ShowExceptionMessage(const std::string &message) {
    QMessageBox box(QMessageBox::Critical, ApplicationTitle(),
                    QString::fromLocal8Bit(WithClosingFullStop(message)), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}
