// The show's table of files (src/show/data_set.txt), which the build, the web page and
// scripts/run read, held to the paths the programs open (show/data_set.h).

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "show/data_set.h"
#include "show/timeline.h"

namespace {

struct Row {
    std::string kind;
    std::string path;  // under data/
};

// The table's rows, without its comments and blank lines.
std::vector<Row> table_rows()
{
    std::ifstream table(VELMORASTIK_DATA_SET_TABLE);
    std::vector<Row> rows;
    std::string line;
    while (std::getline(table, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        const std::size_t space = line.find(' ');
        rows.push_back({line.substr(0, space), space == std::string::npos ? "" : line.substr(space + 1)});
    }
    return rows;
}

std::string in_data(const std::string& path) { return std::string(k_data_dir) + "/" + path; }

}  // namespace

TEST(DataSetTable, NamesEveryFileTheProgramsOpenInTheirOrder)
{
    std::vector<std::string> paths;
    for (const Row& row : table_rows())
        paths.push_back(in_data(row.path));
    EXPECT_EQ(paths, data_set_files()) << "the table " << VELMORASTIK_DATA_SET_TABLE;
}

TEST(DataSetTable, EachRowsKindIsItsFilesRoleInTheShow)
{
    std::vector<std::string> pictures;
    std::vector<std::string> textures;
    std::vector<std::string> soundtracks;
    for (const Row& row : table_rows()) {
        if (row.kind == "picture")
            pictures.push_back(in_data(row.path));
        else if (row.kind == "texture")
            textures.push_back(in_data(row.path));
        else if (row.kind == "soundtrack")
            soundtracks.push_back(in_data(row.path));
        else
            ADD_FAILURE() << "a row of unknown kind: " << row.kind << " " << row.path;
    }
    EXPECT_EQ(pictures, data_set_pictures());
    EXPECT_EQ(textures, std::vector<std::string>{k_texture_file_path});
    // The web page streams this one instead of fetching it whole.
    EXPECT_EQ(soundtracks, std::vector<std::string>{k_soundtrack_path});
}

TEST(DataSetFiles, TheIntroThenEachSetInOrderThenTextureAndSoundtrack)
{
    const std::vector<std::string> files = data_set_files();
    ASSERT_EQ(files.size(), std::size_t{1 + k_first_set_count + k_second_set_count + 2});
    EXPECT_EQ(files[0], "data/gfx/misc/tzback.jpg");
    EXPECT_EQ(files[1], "data/gfx/1/1.jpg");
    EXPECT_EQ(files[5], "data/gfx/1/5.jpg");
    EXPECT_EQ(files[6], "data/gfx/2/1.jpg");
    EXPECT_EQ(files[11], "data/gfx/2/6.jpg");
    EXPECT_EQ(files[12], "data/lumo.raw");
    EXPECT_EQ(files[13], "data/sfx/lumo.mp3");
    EXPECT_EQ(std::set<std::string>(files.begin(), files.end()).size(), files.size()) << "a file named twice";
}
