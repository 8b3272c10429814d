#include "labels/file_layout.h"

#include <gtest/gtest.h>

namespace zav5::labels {
namespace {

TEST(FileLayoutTest, OnlyTheNumberOneSelectsTheOneFileLayout) {
  for (const char* ftp : {"1", " 1 ", "1,0", "1.0", "01"}) {
    EXPECT_EQ(LayoutFromFtp(ftp), FileLayout::kOneFile) << ftp;
  }
  for (const char* ftp : {"0", "", " ", "2", "-1", "0,5", "1abc", "uno", "1,5"}) {
    EXPECT_EQ(LayoutFromFtp(ftp), FileLayout::kTwoFiles) << ftp;
  }
}

}  // namespace
}  // namespace zav5::labels
