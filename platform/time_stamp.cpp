#include "platform/time_stamp.h"

namespace kolu {
namespace {

void appendNumber(std::u16string& out, int value, bool twoDigits) {
    std::string digits = std::to_string(value);
    if (twoDigits && digits.size() < 2) {
        out += u'0';
    }
    out.append(digits.begin(), digits.end());
}

}  // namespace

std::u16string timeStamp(const SystemTime& time) {
    std::u16string out = u"[";
    appendNumber(out, time.hour, true);
    out += u':';
    appendNumber(out, time.minute, true);
    out += u"] ";
    return out;
}

std::u16string errorLogStamp(const SystemTime& time) {
    std::u16string out = u"[";
    appendNumber(out, time.year, false);
    out += u'.';
    appendNumber(out, time.month, false);
    out += u'.';
    appendNumber(out, time.day, false);
    out += u']';
    return out + timeStamp(time);
}

}  // namespace kolu
