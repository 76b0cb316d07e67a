#include "protocol/standard_replies.h"

#include <string_view>

#include "platform/text.h"
#include "protocol/guarded.h"
#include "settings/colour_table.h"
#include "ui/line_output.h"

namespace kolu {

std::u16string standardReplyText(const Reply& reply) {
    const MessageParams& params = reply.params;
    // "*" ties the reply to no command in particular.
    const std::u16string_view command = params[0] == u"*" ? u"" : std::u16string_view(params[0]);
    std::u16string text = u"*** ";
    if (equalsIgnoreCase(params.command(), u"FAIL")) {
        text += command.empty() ? u"Failed" : std::u16string(command) + u" failed";
    } else if (equalsIgnoreCase(params.command(), u"WARN")) {
        text += command.empty() ? u"Warning" : u"Warning from " + std::u16string(command);
    } else {
        text += command.empty() ? u"Note" : u"Note from " + std::u16string(command);
    }
    if (params.size() >= 2 && !params[1].empty()) {
        text += u" (" + params[1] + u")";
    }
    // The description is the last parameter; any between it and the code are
    // context meant for the program.
    if (params.size() >= 3) {
        text += u": " + params[params.size() - 1];
    }
    return text;
}

int ShowStandardReply(HandlerContext& context, const Reply& reply) {
    return guarded(context, u"ShowStandardReply", [&] {
        context.output.RIDodajLinie(u"", standardReplyText(reply),
                                    context.colours.of(LineClass::Info));
    });
}

}  // namespace kolu
