#include "ui/line_output.h"

#include <cerrno>

#include "history/history_store.h"
#include "platform/civil_time.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/text.h"
#include "platform/time_stamp.h"
#include "settings/error_log.h"
#include "settings/settings.h"
#include "ui/formatting.h"
#include "ui/stored_tab_lines.h"
#include "ui/tab_registry.h"

namespace kolu {
namespace {

void appendNumber(std::u16string& out, int value, std::size_t minDigits) {
    std::string digits = std::to_string(value);
    if (digits.size() < minDigits) {
        out.append(minDigits - digits.size(), u'0');
    }
    out.append(digits.begin(), digits.end());
}

// year-MM-DD, the year unpadded.
std::u16string logDate(const SystemTime& time) {
    std::u16string date;
    appendNumber(date, time.year, 1);
    date += u'-';
    appendNumber(date, time.month, 2);
    date += u'-';
    appendNumber(date, time.day, 2);
    return date;
}

}  // namespace

std::u16string logSafeName(std::u16string_view tabName) {
    std::u16string name(tabName);
    if (name == u"." || name == u"..") {
        return std::u16string(name.size(), u'_');
    }
    for (char16_t& c : name) {
        if (c == u'/' || c == u'\0') {
            c = u'_';
        }
    }
    // A log that starts with '.' would be a hidden file.
    if (!name.empty() && name[0] == u'.') {
        name[0] = u'_';
    }
    return name;
}

LineOutput::LineOutput(TabRegistry& tabs, Settings& settings, const Clock& clock, ErrorLog& log)
    : m_tabs(tabs), m_settings(settings), m_clock(clock), m_log(log) {}

int LineOutput::RIDodajLinie(std::u16string_view target, std::u16string_view text, Colour colour) {
    // A line is a wide C string to everything downstream: it ends at a NUL.
    text = text.substr(0, text.find(u'\0'));
    if (m_collector && m_collector->collect(target, text, colour)) {
        return 0;
    }
    std::u16string line;
    if (m_settings.switchOn(u"tstamps")) {
        line = timeStamp(lineLocalTime());
    }
    line += text;

    int destination = target.empty() ? -1 : m_tabs.znajdz_zakladke(target);
    if (destination >= 1) {
        const SwitchName setting =
            target[0] == u'#' ? SwitchName(u"logchan") : SwitchName(u"logpriv");
        if (m_settings.switchOn(setting)) {
            // Logged under the tab's own label so one conversation keeps one file
            // whatever case the server spells the name in this time.
            loguj(m_tabs.pobierz_nazwe(destination, m_tabs.pobierz_lparam(destination)->nameLength),
                  toUtf8(plainText(line)));
        }
    } else {
        destination = 0;
        if (m_tabs.count() == 0) {
            return 0;  // no status tab yet: nowhere to show the line
        }
        if (m_settings.switchOn(u"logstat")) {
            loguj(m_tabs.pobierz_nazwe(0, kStatusNameLength), toUtf8(plainText(line)));
        }
    }

    std::int64_t id = 0;
    if (m_history) {
        const std::u16string tab =
            m_tabs.pobierz_nazwe(destination, m_tabs.pobierz_lparam(destination)->nameLength);
        const std::int64_t at = m_lineTime && m_lineTime->utcMs > 0 ? m_lineTime->utcMs : epochMs(m_clock);
        id = m_history->add(m_network, tab, at, colour, lineSender(text), line);
        // A flood writes in full batches between the window's timed flushes.
        if (m_history->queued() >= HistoryStore::kFlushLines) {
            m_history->flush();
        }
    }
    TextLines& view = m_tabs.pobierz_lparam(destination)->text;
    const std::size_t before = view.lineCount();
    const int total = view.append(line, colour, id);
    // A tab paging from the store may hold its newest lines there only.
    if (view.lineCount() == before && id == 0) {
        m_log.LogError(u"LocalAlloc", u"ColorEditProc WM_APP+1", ENOMEM);
    }
    if (destination != m_tabs.selected() && !(m_lineTime && m_lineTime->replayed)) {
        m_tabs.setActivity(destination, colour == 0 ? kHiddenTabGrey : colour);
    }
    return total;
}

void LineOutput::setHistory(HistoryStore* store) {
    m_history = store;
    for (int index = 0; index < m_tabs.count(); ++index) {
        attachSource(index);
    }
}

void LineOutput::setNetwork(std::u16string network) {
    if (network == m_network) {
        return;
    }
    m_network = std::move(network);
    // The status tab follows the connection; channels and queries keep the
    // network they were opened on.
    if (m_tabs.count() > 0) {
        attachSource(0);
    }
}

void LineOutput::attachSource(int index) {
    TabRecord* record = m_tabs.pobierz_lparam(index);
    if (!record) {
        return;
    }
    if (!m_history) {
        record->text.setPaging(nullptr, 0);
        record->source.reset();
        return;
    }
    record->source = std::make_unique<StoredTabLines>(
        *m_history, m_network, m_tabs.pobierz_nazwe(index, record->nameLength));
    const std::int32_t lines = m_settings.RegCzytajLONG(u"histlines");
    record->text.setPaging(record->source.get(),
                           static_cast<std::size_t>(std::max<std::int32_t>(lines, 1000)));
}

void LineOutput::replayHistory(int index) {
    if (index <= 0 || !m_history) {
        return;
    }
    attachSource(index);
    const std::int32_t count = m_settings.RegCzytajLONG(u"histreplay");
    TabRecord* record = m_tabs.pobierz_lparam(index);
    if (count <= 0 || !record) {
        return;
    }
    const std::vector<StoredLine> lines = m_history->lastLines(
        m_network, m_tabs.pobierz_nazwe(index, record->nameLength), static_cast<std::size_t>(count));
    if (lines.empty()) {
        return;
    }
    for (const StoredLine& line : lines) {
        record->text.append(line.text, kHiddenTabGrey, line.id);
    }
    record->text.append(kReplaySeparator, kHiddenTabGrey);
}

std::string LineOutput::logFilePath(std::u16string_view tabName) {
    std::u16string path;
    // Without a readable folder the file would land in the working directory;
    // the installation folder is logpath's own default.
    if (!m_settings.RegCzytajMsg(u"logpath", path, kLogPathSize) || path.empty()) {
        path = m_settings.CzytajInstallDir();
    }
    if (m_logNetwork && !m_network.empty()) {
        path += logSafeName(m_network);
        path += u'.';
    }
    path += logSafeName(tabName);
    path += u'.';
    path += logDate(lineLocalTime());
    path += u".txt";
    return toUtf8(path);
}

std::u16string_view lineSender(std::u16string_view text) {
    std::size_t start = 0;
    std::size_t end = std::u16string_view::npos;
    if (text.starts_with(u'<')) {
        start = 1;
        end = text.find(u"> ", start);
    } else if (text.starts_with(u"* ")) {
        start = 2;
        end = text.find(u' ', start);
    }
    if (end == std::u16string_view::npos || end == start) {
        return {};
    }
    const std::u16string_view sender = text.substr(start, end - start);
    return sender.find(u' ') == std::u16string_view::npos ? sender : std::u16string_view{};
}

SystemTime LineOutput::lineLocalTime() const {
    return m_lineTime ? m_lineTime->local : m_clock.localTime();
}

int LineOutput::loguj(std::u16string_view tabName, std::string_view line) {
    const std::string path = logFilePath(tabName);
    File file;
    int error = File::open(path, OpenMode::OpenAlways, file, 0600);
    if (error != 0) {
        m_log.LogError(u"CreateFileW", u"loguj", error);
        return 1;
    }
    error = file.seekToEnd();
    if (error != 0) {
        m_log.LogError(u"SetFilePointer", u"loguj", error);
        return 1;
    }
    // One write per entry, so a failure never leaves half a line behind another.
    std::string entry(line.substr(0, line.find('\0')));
    entry += "\r\n";
    error = file.write(entry.data(), entry.size());
    if (error != 0) {
        m_log.LogError(u"WriteFile", u"loguj", error);
    }
    return 1;
}

}  // namespace kolu
