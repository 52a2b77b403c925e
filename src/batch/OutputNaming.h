#pragma once

#include <QString>

namespace joblet {

struct ProfileSettings;

// Every rule that turns an input path into an output path, in one place.
namespace OutputNaming {

// A job whose output was left as "None": the input up to its last '.' (folder
// names included, as existing lists have it), then ".wma" for an input with
// audio and no video, ".wmv" for anything else.
QString fromMedia(const QString &input, int audioCount, int videoCount);

// The add dialog's input browse: the input without its last three
// characters, then "wmv"; empty for an input shorter than that.
QString fromBrowse(const QString &input);

// A job named on the command line or in the hand-off file: "<input>_1.wma"
// when the last three characters are "wma" in any case, else the browse rule.
QString fromHandOff(const QString &input);

// The same rules for a job of `profile`. An Asf profile keeps them as they
// are; any other gets the input up to its last '.' and the profile's
// extension, with "_1" before it when that would name the input itself.
QString fromMedia(const QString &input, int audioCount, int videoCount, const ProfileSettings &profile);
QString fromBrowse(const QString &input, const ProfileSettings &profile);
// fromMedia() with the name put into `folder` (beside the input when empty);
// "_1" only when the path in `folder` is the input's own.
QString fromMedia(const QString &input, int audioCount, int videoCount, const ProfileSettings &profile,
                  const QString &folder);
QString fromHandOff(const QString &input, const ProfileSettings &profile);

// One spelling for one place: the folder resolved ("a/../b", links), the
// name as given, so two spellings of one output compare equal even before
// the file exists.
QString place(const QString &path);

// Why `output` cannot be written with `profile` (its extension cannot hold
// the profile's streams), naming both; empty when it can.
QString refusal(const ProfileSettings &profile, const QString &output);

} // namespace OutputNaming

} // namespace joblet
