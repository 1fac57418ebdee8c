// The window objects' life: freeing, destroy events, automatic frees and typed event slots.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "UiTest.h"
#include "ui/Object.h"

namespace {
void LogDestroyEvent(Recorder* recorder, BaseObject*) { recorder->log.push_back("OnDestroy"); }

TEST(ObjectModel, FreeDestroysAtOnceOrAtTheLastUnlock) {
    Recorder recorder;
    const int live = LiveObjectCount();
    FreeObject(nullptr);

    FreeObject(MakeNamed(&recorder, "plain"));
    EXPECT_EQ(recorder.log, std::vector<std::string>{"plain"});
    EXPECT_EQ(LiveObjectCount(), live);

    Named* locked = MakeNamed(&recorder, "locked");
    RefInc(locked);
    RefInc(locked);
    FreeObject(locked);
    EXPECT_EQ(locked->RefCount, 3) << "a free while locked only marks the object";
    FreeObject(locked);
    EXPECT_EQ(locked->RefCount, 3) << "a second free while pending changes nothing";
    RefDec(locked);
    EXPECT_EQ(recorder.log.size(), 1u) << "still locked once";
    RefDec(locked);
    EXPECT_EQ(recorder.log.back(), "locked");
    EXPECT_EQ(LiveObjectCount(), live);

    Named* unlockedAgain = MakeNamed(&recorder, "kept");
    RefInc(unlockedAgain);
    RefDec(unlockedAgain);
    EXPECT_EQ(recorder.log.back(), "locked") << "unlocking an object nobody freed keeps it";
    FreeObject(unlockedAgain);
    EXPECT_EQ(recorder.log.back(), "kept");
}

TEST(ObjectModel, OnDestroyFiresOnceThenAutoFreeNewestFirst) {
    Recorder recorder;
    const int live = LiveObjectCount();
    Named* owner = MakeNamed(&recorder, "owner");
    owner->OnDestroy = MakeEvent<&LogDestroyEvent>(&recorder);
    AddAutoFree(owner, MakeNamed(&recorder, "first"));
    AddAutoFree(owner, MakeNamed(&recorder, "second"));
    AddAutoFree(owner, MakeNamed(&recorder, "third"));
    FreeObject(owner);
    EXPECT_EQ(recorder.log,
              (std::vector<std::string>{"owner", "OnDestroy", "third", "second", "first"}));
    EXPECT_EQ(LiveObjectCount(), live);
}

struct Sum {
    int total = 0;
};
int AddTo(Sum* sum, int value) { return sum->total += value; }

TEST(ObjectModel, EventsCarryTheirTypedDataAndEmptyOnesDoNothing) {
    Sum sum;
    Event<int(int)> event = MakeEvent<&AddTo>(&sum);
    EXPECT_TRUE(event);
    EXPECT_EQ(event(5), 5);
    Event<int(int)> copy = event;
    EXPECT_EQ(copy(2), 7);
    EXPECT_EQ(sum.total, 7);

    Event<int(int)> empty;
    EXPECT_FALSE(empty);
    EXPECT_EQ(empty(3), 0);
    EXPECT_EQ(sum.total, 7);
}
} // namespace
