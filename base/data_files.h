// Where the program's runtime images are read from.
#pragma once

#include <string>

// The path of the runtime image `name`: "./name" when the working directory
// holds it, as always; otherwise the same file in the data folder installed
// beside the program (<bin>/../share/koma for any prefix) when that holds
// it; otherwise "./name" again, so that a missing image fails as before.
std::string px_image_path(const char *name);
