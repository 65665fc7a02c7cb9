// The run's temporary folders: each call makes a new folder under the user's
// temporary path with a fresh hexadecimal name, and folders are removed with all
// their contents at the end. Safe from any thread.
#pragma once

#include <string>

namespace stubframework {

// Makes a new folder "<temp>\<hex>\" (the hex name starts at the tick count and
// counts up past names in use) and returns its path ending with "\"; an empty
// string when the temporary path is unusable. `tempPathOverride` stands in for
// the system's temporary path (tests), when not empty.
std::wstring createTemporaryFolder(const std::wstring& tempPathOverride = {});

// The user's temporary path in its long form, ending with "\"; empty when the
// system's path is 259 characters or longer or does not exist.
std::wstring userTemporaryPath();

// Deletes every file, recurses into every subfolder, then removes the folder.
// The result is whether the final removal succeeded.
bool deleteFolder(const std::wstring& folder);

}  // namespace stubframework
