// The afm and texafm commands: AFM text for a font through one of its cmap subtables.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "afm/afm.h"
#include "commands/commands.h"
#include "commands/operands.h"

namespace {

// SOURCE_DATE_EPOCH, when set, fixes the date for reproducible builds: a count of seconds
// since 1970. A value that is not one is reported and the current time used instead.
std::optional<std::time_t> source_date_epoch(const command_voice& voice) {
    const char* value = std::getenv("SOURCE_DATE_EPOCH");
    if (!value) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long long seconds = std::strtoll(value, &end, 10);
    if (end == value || *end != '\0' || errno == ERANGE || seconds < 0) {
        say(voice.messages, "%s: warning: SOURCE_DATE_EPOCH \"%s\" is not a number of seconds\n",
            voice.name, value);
        return std::nullopt;
    }
    return static_cast<std::time_t>(seconds);
}

int afm_with_flavour(kestrix_context& context, const command_voice& voice, afm_flavour flavour) {
    std::int32_t platformID = 0, encodingID = 0;
    if (!pop_encoding(context, voice, platformID, encodingID)) return -1;
    font_object* font = pop_font(context, voice);
    if (!font) return -1;
    const afm_options options{flavour, source_date_epoch(voice)};
    return finish_standard_output(
        voice, write_afm(*font, static_cast<USHORT>(platformID), static_cast<USHORT>(encodingID),
                         context.args, options));
}

}  // namespace

int afm_command(kestrix_context& context) {
    return afm_with_flavour(context, command_voice{"afm", context.messages()},
                            afm_flavour::standard);
}

int texafm_command(kestrix_context& context) {
    return afm_with_flavour(context, command_voice{"texafm", context.messages()}, afm_flavour::tex);
}
