#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "ui/Object.h"

namespace {
struct Log {
    std::vector<std::string> lines;
};

// An object that writes its name into a log when it is destroyed.
struct Named : BaseObject {
    Log* log = nullptr;
    std::string name;
    void Destroy() override {
        log->lines.push_back(name);
        BaseObject::Destroy();
    }
};

Named* MakeNamed(Log* log, const std::string& name) {
    Named* obj = NewObject<Named>();
    obj->log = log;
    obj->name = name;
    return obj;
}

void LogDestroyEvent(Log* log, BaseObject*) { log->lines.push_back("OnDestroy"); }

TEST(ObjectModel, FreeDestroysAtOnceOrAtTheLastUnlock) {
    Log log;
    const int live = LiveObjectCount();
    FreeObject(nullptr);

    FreeObject(MakeNamed(&log, "plain"));
    EXPECT_EQ(log.lines, std::vector<std::string>{"plain"});
    EXPECT_EQ(LiveObjectCount(), live);

    Named* locked = MakeNamed(&log, "locked");
    RefInc(locked);
    RefInc(locked);
    FreeObject(locked);
    EXPECT_EQ(locked->RefCount, 3) << "a free while locked only marks the object";
    FreeObject(locked);
    EXPECT_EQ(locked->RefCount, 3) << "a second free while pending changes nothing";
    RefDec(locked);
    EXPECT_EQ(log.lines.size(), 1u) << "still locked once";
    RefDec(locked);
    EXPECT_EQ(log.lines.back(), "locked");
    EXPECT_EQ(LiveObjectCount(), live);

    Named* unlockedAgain = MakeNamed(&log, "kept");
    RefInc(unlockedAgain);
    RefDec(unlockedAgain);
    EXPECT_EQ(log.lines.back(), "locked") << "unlocking an object nobody freed keeps it";
    FreeObject(unlockedAgain);
    EXPECT_EQ(log.lines.back(), "kept");
}

TEST(ObjectModel, OnDestroyFiresOnceThenAutoFreeNewestFirst) {
    Log log;
    const int live = LiveObjectCount();
    Named* owner = MakeNamed(&log, "owner");
    owner->OnDestroy = MakeEvent<&LogDestroyEvent>(&log);
    AddAutoFree(owner, MakeNamed(&log, "first"));
    AddAutoFree(owner, MakeNamed(&log, "second"));
    AddAutoFree(owner, MakeNamed(&log, "third"));
    FreeObject(owner);
    EXPECT_EQ(log.lines,
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
