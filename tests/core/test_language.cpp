// The toolkit's words for failures the system reports, in the program's
// language: the helpers of the lower floors word them through the core's
// table once the entry points have connected it.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

#include "base/file.h"
#include "core/language.h"
#include "kx9d.h"

namespace fs = std::filesystem;

TEST(Language, TheReasonsOfFailuresAreGermanInTheGermanProgram)
{
    const fs::path dir = fs::temp_directory_path() / ("kxlang_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    const std::string missing = (dir / "fehlt" / "datei.txt").string();
    const std::string file = (dir / "datei").string();
    std::ofstream(file) << "im Weg";
    kxapp_connect();

    // English: the system's own words, as before.
    EXPECT_FALSE(kxfile_save("x", missing.c_str()));
    EXPECT_EQ(kxfile_failure(), std::generic_category().message(ENOENT));

    kxlanguage_set(KX_LANG_GERMAN);
    EXPECT_FALSE(kxfile_save("x", missing.c_str()));
    EXPECT_STREQ(kxfile_failure(), "existiert nicht");
    std::string why;
    EXPECT_FALSE(kxdir_create(file.c_str(), &why));
    EXPECT_EQ(why, "ist kein Verzeichnis");
    EXPECT_EQ(kxlanguage_reason(ENOSPC), "kein Platz mehr auf dem Datentr\xe4ger");
    EXPECT_EQ(kxlanguage_reason(EACCES), "keine Berechtigung");
    // A number the table does not know keeps the system's words.
    EXPECT_EQ(kxlanguage_reason(12345), std::generic_category().message(12345));

    kxlanguage_set(KX_LANG_ENGLISH);
    std::error_code ec;
    fs::remove_all(dir, ec);
}
