// Shared set-up of the handler-language tests: every global the compiler and the
// expressions read starts empty.
#pragma once

#include <gtest/gtest.h>

#include "base/errors.h"
#include "handler/handler_compiler.h"
#include "handler/handler_globals.h"
#include "handler/handler_names.h"
#include "handler/handler_program.h"
#include "notation/translator.h"

class HandlerGlobalsTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetHandlerGlobals(); }
  void TearDown() override { ResetHandlerGlobals(); }

  static void ResetHandlerGlobals() {
    GErrors.Reset();
    ResetHandlerCompileContext();
    GTranslatorPath.clear();
  }
};
