// How the running program answers a conversion asked for from the command line that converted
// nothing: the D-Bus error (Linux), the message the caller prints, and the caller's exit status.
// Shared by both platforms' command lines.
#pragma once

#include "shell/frmSplashBase.h"
#include "shell/modCommandLine.h"

namespace litvorot {

struct NotConverted {
    frmSplashBase::Outcome outcome;
    const char* error;
    const char* message;
    int status;
};

inline constexpr NotConverted kNotConverted[] = {
    {frmSplashBase::Outcome::kNoText, "org.litvorot.Litvorot.Error.NoText",
     "there is no text to convert (nothing, a picture or files): nothing was converted",
     kExitNoText},
    {frmSplashBase::Outcome::kNothingSelected, "org.litvorot.Litvorot.Error.NothingSelected",
     "nothing is selected in the window in front: nothing was changed", kExitNoText},
    {frmSplashBase::Outcome::kNoAnswer, "org.litvorot.Litvorot.Error.NoAnswer",
     "the program that holds the clipboard did not hand over its text: nothing was converted",
     kExitNoAnswer},
    {frmSplashBase::Outcome::kTooLarge, "org.litvorot.Litvorot.Error.TooLarge",
     "the clipboard text is longer than Litvorot converts: it was left as it is", kExitTooLarge},
    {frmSplashBase::Outcome::kNotDone, "org.litvorot.Litvorot.Error.NotConverted",
     "the conversion was not carried out (too many waiting, or the program is ending)",
     kExitNotConverted},
};

}  // namespace litvorot
