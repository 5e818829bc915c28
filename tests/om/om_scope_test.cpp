// The scoped helpers: a context guard pops on every way out of its block, and fetched text
// is owned by its holder.
#include <stdexcept>
#include <string>

#include "om/om_scope.h"
#include "om_fixture.h"

using namespace omtest;

namespace {

int ran = 0;
int countRun(OMobj_id) {
  return ++ran;
}

// Writes under a guard and leaves early when asked: the guard must pop on both paths.
int writeUnderGuard(OMobj_id id, bool leaveEarly) {
  OMcontext ctx(id, OM_CTX_USER, OM_CTX_PLAIN);
  OMqueue_notify(id, countRun, 0);
  if (leaveEarly) return OMctx_depth();
  OMset_int_val(id, 7);
  return OMctx_depth();
}

using OMScope = OMTest;

TEST_F(OMScope, AGuardPopsOnEveryPathOut) {
  OMobj_id x = make(top, "x", OM_KIND_INT);
  int before = OMctx_depth();
  for (bool early : {false, true}) {
    ran = 0;
    EXPECT_EQ(writeUnderGuard(x, early), before + 1) << "the context is open inside";
    EXPECT_EQ(OMctx_depth(), before) << (early ? "early return" : "normal end");
    EXPECT_EQ(ran, 1) << "the queued work ran at the pop";
  }
  ran = 0;
  try {
    OMcontext ctx(x, OM_CTX_WIDGET, OM_CTX_GEOMETRY);
    OMqueue_notify(x, countRun, 0);
    throw std::runtime_error("leave");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(OMctx_depth(), before) << "an exception leaves no context open";
  EXPECT_EQ(ran, 1);
  EXPECT_TRUE(reports().empty()) << "no unpaired pop was reported";
}

TEST_F(OMScope, NestedGuardsRunTheQueueOnceAtTheOutermostEnd) {
  OMobj_id x = make(top, "x", OM_KIND_INT);
  ran = 0;
  {
    OMcontext outer(x, OM_CTX_USER, OM_CTX_PLAIN);
    {
      OMcontext inner(x, OM_CTX_QUIET, OM_CTX_EVENT);
      OMqueue_notify(x, countRun, 0);
    }
    EXPECT_EQ(ran, 0) << "the inner guard's pop runs nothing";
  }
  EXPECT_EQ(ran, 1);
}

TEST_F(OMScope, FetchedTextIsHeldAndEmptyWhenNothingReads) {
  OMobj_id s = make(top, "s", OM_KIND_STRING);
  OMobj_id n = make(top, "n", OM_KIND_INT);
  EXPECT_FALSE(OMget_text(s)) << "an unset string";
  EXPECT_FALSE(OMget_text(OMnull_obj)) << "no object";
  OMset_str_val(s, "hello");
  OMset_int_val(n, 42);
  OMtext text = OMget_text(s);
  ASSERT_TRUE(text);
  EXPECT_STREQ(text.get(), "hello");
  OMset_str_val(s, "changed");
  EXPECT_STREQ(text.get(), "hello") << "a copy, not a view of the object";
  OMtext number = OMget_text(n);
  ASSERT_TRUE(number);
  EXPECT_STREQ(number.get(), "42") << "read with conversion, as OMget_str_val reads";
}

}  // namespace
