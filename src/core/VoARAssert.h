#pragma once

// Precondition checks that only a programming error can break. A failed check
// prints "<unit>:<line>: failed assertion `<expression>'" to standard error,
// flushes it and aborts. The unit path (such as "src/core/VoARBufferReader")
// and the expression text are given by the caller so that the report does not
// depend on where the sources were built.

namespace VoTrack {

[[noreturn]] void voAssertFail(const char* i_unit, unsigned i_line, const char* i_expression);

}  // namespace VoTrack

// Checks i_condition; the report carries i_text as the expression.
#define VOTRACK_ASSERT_AT(i_condition, i_unit, i_line, i_text)      \
    do {                                                            \
        if (!(i_condition)) {                                       \
            ::VoTrack::voAssertFail((i_unit), (i_line), (i_text));  \
        }                                                           \
    } while (false)

// As above, reporting the line of the check itself.
#define VOTRACK_ASSERT(i_condition, i_unit, i_text) \
    VOTRACK_ASSERT_AT(i_condition, i_unit, __LINE__, i_text)
