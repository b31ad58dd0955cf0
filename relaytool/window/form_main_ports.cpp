// The port list and the settings file: filled and read at the window's first activation,
// written when it closes.
#include "form_main.h"

#include "port_probe.h"
#include "port_setting.h"
#include "port_settings.h"

#include <QComboBox>

namespace {
constexpr uint8_t kHighestListedPort = 8;
}

void TFormMain::FormActivate(QObject *) {
    const std::string path = SettingsFilePath();
    const auto storedPort = static_cast<uint8_t>(ReadPortSetting(path.c_str()));  // low 8 bits count

    int entries = 0;
    int selected = -1;
    for (uint8_t n = 1; n <= kHighestListedPort; ++n) {
        if (!ProbeComPort(n)) continue;
        ComboCOMPort->addItem(QStringLiteral("COM%1").arg(int(n)));
        if (n == storedPort) selected = entries;
        // An editable combo box selects its first entry by itself; only the stored port may be.
        ComboCOMPort->setCurrentIndex(selected);
        ++entries;
    }
    PortSettings.BaudRate = 9600;
}

void TFormMain::FormClose(QObject *, TCloseAction &) {
    const QByteArray text = ComboCOMPort->currentText().toLatin1();
    if (text.isEmpty() || text[0] != 'C') return;
    if (text.size() < 4) return;  // no fourth character, no port digit: nothing to remember
    const int32_t value = static_cast<int8_t>(text[3]) - '0';
    const std::string path = SettingsFilePath();
    WritePortSetting(path.c_str(), value);
}
