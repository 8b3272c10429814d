#include "labels/tracciato.h"

#include <gtest/gtest.h>

namespace zav5::labels {
namespace {

TEST(TracciatoTest, OnlyTheNumberOneSelectsTheOneFileLayout) {
  for (const char* ftp : {"1", " 1 ", "1,0", "1.0", "01"}) {
    EXPECT_EQ(TracciatoDa(ftp), Tracciato::kFileUnico) << ftp;
  }
  for (const char* ftp : {"0", "", " ", "2", "-1", "0,5", "1abc", "uno", "1,5"}) {
    EXPECT_EQ(TracciatoDa(ftp), Tracciato::kDueFile) << ftp;
  }
}

}  // namespace
}  // namespace zav5::labels
