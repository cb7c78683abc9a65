#pragma once

#include "CliFiles.h"
#include "ItdbWriter.h"
#include "ProgramRun.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

// A player in a temporary folder whose tracks carry every field the player keeps: album
// artists, discs, genres, a compilation, texts that differ only in accents, an artist whose
// name begins with "." and two tracks with one title on two discs. Runs varnel-cli on it with a
// private settings folder and the UTC zone.
class LibraryPlayer : public ::testing::Test {
protected:
    void SetUp() override;

    std::string DatabasePath() const { return (Root / "iPod_Control/iTunes/iTunesDB").string(); }
    ProgramResult Run(const std::vector<std::string>& args) const;
    ProgramResult Shell(const std::string& script) const;
    void SaveSettings(const std::string& body) const;


    TempDir Temp;
    std::filesystem::path Root;
    std::filesystem::path Config;
    itdbwriter::Database Db;
};
