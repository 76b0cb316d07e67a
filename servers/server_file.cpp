// Reading, parsing and writing servers.txt.
#include <cerrno>
#include <new>

#include "platform/files.h"
#include "platform/text.h"
#include "servers/server_list.h"
#include "settings/error_log.h"

namespace kolu {
namespace {

constexpr unsigned kFileMode = 0600;  // the file holds passwords

// A field's bytes as record text: it ends at a NUL (the record's terminator) and
// is cut to the field's room at a whole character.
std::u16string fieldText(std::string_view bytes, std::size_t room) {
    bytes = bytes.substr(0, bytes.find('\0'));
    std::u16string text = fromUtf8(bytes);
    text.resize(cutAtWholeChar(text, room).size());
    return text;
}

// One line without its line end. Missing fields stay empty; the password takes
// the rest of the line, further TABs included, as it always has.
std::unique_ptr<ServerRecord> parseLine(std::string_view line) {
    std::string_view fields[4];
    std::size_t start = 0;
    int field = 0;
    for (; field < 3; ++field) {
        const std::size_t tab = line.find('\t', start);
        if (tab == std::string_view::npos) {
            break;
        }
        fields[field] = line.substr(start, tab - start);
        start = tab + 1;
    }
    fields[field] = line.substr(start);
    auto record = std::make_unique<ServerRecord>();
    record->network = fieldText(fields[0], ServerRecord::kNetworkRoom);
    record->server = fieldText(fields[1], ServerRecord::kServerRoom);
    record->ports = fieldText(fields[2], ServerRecord::kPortsRoom);
    record->password = fieldText(fields[3], ServerRecord::kPasswordRoom);
    return record;
}

// A field as written: up to its terminator, within its room, with the characters
// that would end the field or the line early turned into blanks.
std::u16string writtenField(std::u16string_view text, std::size_t room, bool lastField) {
    text = text.substr(0, text.find(u'\0'));
    std::u16string out(cutAtWholeChar(text, room));
    for (char16_t& c : out) {
        if (c == u'\r' || c == u'\n' || (c == u'\t' && !lastField)) {
            c = u' ';
        }
    }
    return out;
}

}  // namespace

ServerList SrvTworzListe(std::string_view text, ErrorLog* log) {
    ServerList list;
    std::size_t position = 0;
    while (position < text.size()) {
        const std::size_t lineFeed = text.find('\n', position);
        std::size_t end = lineFeed == std::string_view::npos ? text.size() : lineFeed;
        const std::size_t next = lineFeed == std::string_view::npos ? text.size() : lineFeed + 1;
        if (end > position && text[end - 1] == '\r') {
            --end;
        }
        const std::string_view line = text.substr(position, end - position);
        position = next;
        try {
            std::unique_ptr<ServerRecord> record = parseLine(line);
            // A line with nothing in it (an empty line, "\t\t\t") names no server.
            if (*record != ServerRecord{}) {
                list.append(std::move(record));
            }
        } catch (const std::bad_alloc&) {
            // The servers parsed so far stay.
            if (log) {
                log->LogError(u"LocalAlloc", u"SrvTworzListe", ENOMEM);
            }
            break;
        }
    }
    return list;
}

ServerList SrvCzytajPlik(const ServerListServices& services) {
    ServerList failed;
    File file;
    if (const int rc =
            File::open(serversFilePath(services.settings), OpenMode::OpenAlways, file, kFileMode)) {
        services.log.LogError(u"CreateFileW", u"SrvCzytajPlik", rc);
        failed.setReadError(rc);
        return failed;
    }
    std::string bytes;
    try {
        if (const int rc = file.readRest(bytes)) {
            services.log.LogError(u"ReadFile", u"SrvCzytajPlik", rc);
            failed.setReadError(rc);
            return failed;
        }
    } catch (const std::bad_alloc&) {
        services.log.LogError(u"LocalAlloc", u"SrvCzytajPlik", ENOMEM);
        failed.setReadError(ENOMEM);
        return failed;
    }
    if (const int rc = file.close()) {
        services.log.LogError(u"CloseHandle", u"SrvCzytajPlik", rc);
    }
    return SrvTworzListe(bytes, &services.log);
}

std::string serverFileText(const ServerList& list) {
    std::string text;
    for (const ServerRecord& record : list.servers()) {
        std::u16string line = writtenField(record.network, ServerRecord::kNetworkRoom, false);
        line += u'\t';
        line += writtenField(record.server, ServerRecord::kServerRoom, false);
        line += u'\t';
        line += writtenField(record.ports, ServerRecord::kPortsRoom, false);
        line += u'\t';
        line += writtenField(record.password, ServerRecord::kPasswordRoom, true);
        line += u"\r\n";
        text += toUtf8(line);
    }
    return text;
}

std::u16string writtenServerName(std::u16string_view server) {
    return writtenField(server, ServerRecord::kServerRoom, false);
}

int SrvZapiszPlik(ServerList list, const ServerListServices& services) {
    if (list.readError() != 0) {
        // Replacing a file we could not read would lose the servers it holds.
        services.log.LogError(u"CreateFileW", u"SrvZapiszPlik", list.readError());
        return 0;
    }
    const int rc =
        writeFileAtomically(serversFilePath(services.settings), serverFileText(list), kFileMode);
    if (rc != 0) {
        services.log.LogError(u"WriteFile", u"SrvZapiszPlik", rc);
        return 0;
    }
    return 1;
}

}  // namespace kolu
