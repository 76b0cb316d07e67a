#include "protocol/batches.h"

#include <algorithm>

#include "platform/text.h"
#include "settings/colour_table.h"
#include "ui/line_printer.h"

namespace kolu {

bool Batches::open(std::u16string_view ref, std::u16string_view type, std::u16string_view servers,
                   std::u16string_view parent) {
    if (ref.empty() || find(ref) || m_open.size() >= kMaxOpen) {
        return false;
    }
    Batch batch{
        std::u16string(ref), std::u16string(parent), std::u16string(servers), Kind::Other, {}};
    if (equalsIgnoreCase(type, u"netsplit")) {
        batch.kind = Kind::Netsplit;
    } else if (equalsIgnoreCase(type, u"netjoin")) {
        batch.kind = Kind::Netjoin;
    }
    m_open.push_back(std::move(batch));
    return true;
}

void Batches::close(std::u16string_view ref, LinePrinter& out, const ColourTable& colours) {
    const auto it = std::find_if(m_open.begin(), m_open.end(),
                                 [&](const Batch& batch) { return batch.ref == ref; });
    if (it == m_open.end()) {
        return;
    }
    Batch batch = std::move(*it);
    m_open.erase(it);
    // Inner batches a server left open end with the batch around them.
    for (;;) {
        const auto inner = std::find_if(m_open.begin(), m_open.end(),
                                        [&](const Batch& b) { return b.parent == batch.ref; });
        if (inner == m_open.end()) {
            break;
        }
        close(std::u16string(inner->ref), out, colours);
    }
    print(batch, out, colours);
}

void Batches::closeAll(LinePrinter& out, const ColourTable& colours) {
    m_collecting.clear();
    std::vector<Batch> all;
    all.swap(m_open);
    for (const Batch& batch : all) {
        print(batch, out, colours);
    }
}

bool Batches::startLine(const std::u16string* ref, std::u16string_view command) {
    m_collecting.clear();
    // Up the chain of batches around this one; bounded, as a server may make a loop.
    for (std::size_t depth = 0; ref && depth < kMaxOpen; ++depth) {
        const Batch* batch = find(*ref);
        if (!batch) {
            return false;
        }
        if (batch->kind != Kind::Other) {
            const bool taken =
                equalsIgnoreCase(command, batch->kind == Kind::Netsplit ? u"QUIT" : u"JOIN");
            if (taken) {
                m_collecting = batch->ref;
            }
            return taken;
        }
        ref = &batch->parent;
    }
    return false;
}

bool Batches::collect(std::u16string_view target, std::u16string_view, Colour) {
    Batch* batch = m_collecting.empty() ? nullptr : find(m_collecting);
    if (!batch) {
        return false;
    }
    for (TabCount& count : batch->tabs) {
        if (equalsIgnoreCase(count.tab, target)) {
            ++count.lines;
            return true;
        }
    }
    if (batch->tabs.size() >= kMaxTabs) {
        return false;
    }
    batch->tabs.push_back({std::u16string(target), 1});
    return true;
}

Batches::Batch* Batches::find(std::u16string_view ref) {
    for (Batch& batch : m_open) {
        if (batch.ref == ref) {
            return &batch;
        }
    }
    return nullptr;
}

void Batches::print(const Batch& batch, LinePrinter& out, const ColourTable& colours) {
    if (batch.kind == Kind::Other) {
        return;
    }
    const bool split = batch.kind == Kind::Netsplit;
    std::u16string head = split ? u"*** Netsplit" : u"*** Netjoin";
    if (!batch.servers.empty()) {
        head += u": " + batch.servers;
    }
    for (const TabCount& count : batch.tabs) {
        out.addLine(count.tab,
                    head + u" (" + decimalText(count.lines) + (split ? u" quit)" : u" joined)"),
                    colours.of(split ? LineClass::Quit : LineClass::Join));
    }
}

}  // namespace kolu
