// Resources over the life of the link: every enumeration and every removal closes what
// it no longer uses, and stopping the link ends every thread it started.
#include <gtest/gtest.h>

#include <thread>

#include "support/DeviceHarness.h"

namespace halvern::test {
namespace {

using namespace std::chrono_literals;

void Replug(DeviceHarness& h, int device) {
    ASSERT_TRUE(h.world->unplug(device));
    h.settle();
    ASSERT_TRUE(h.world->plug(device));
    h.settle();
}

TEST(Lifecycle, AThousandReceiverPlugCyclesLeakNoDescriptorAndNoThread) {
    DeviceHarness h("receiver");
    h.start();
    const int receiver = h.world->deviceOf(Link::Receiver);
    ASSERT_TRUE(h.runUntil([&] { return h.links.wirelessLink == 1; }));
    // One cycle first, so that whatever is made once (a thread pool, a cache) is there.
    Replug(h, receiver);
    h.loop.advance(1000ms);
    ASSERT_TRUE(h.runUntil([&] { return h.links.wirelessLink == 1; }));
    h.settle();
    const int descriptors = OpenDescriptors();
    const int threads = ThreadCount();

    for (int cycle = 0; cycle < 1000; ++cycle) {
        Replug(h, receiver);
        ASSERT_EQ(h.links.wirelessLink, 0) << "cycle " << cycle;
        h.loop.advance(1000ms);
        ASSERT_TRUE(h.runUntil([&] { return h.links.wirelessLink == 1; })) << "cycle " << cycle;
        h.settle();
    }
    EXPECT_EQ(OpenDescriptors(), descriptors);
    EXPECT_EQ(ThreadCount(), threads);
    EXPECT_EQ(h.world->hid().openHandles(), 2);
    EXPECT_EQ(h.link().discovery().readerCount(), 1);
}

TEST(Lifecycle, EveryEnumerationClosesTheHandlesOfTheOneBefore) {
    DeviceHarness h("two receivers");
    h.start();
    ASSERT_EQ(h.world->hid().openHandles(), 4);
    for (int i = 0; i < 50; ++i) h.link().discovery().EnumerateDevices();
    EXPECT_EQ(h.world->hid().openHandles(), 4);
    EXPECT_EQ(h.link().discovery().readerCount(), 2);
}

TEST(Lifecycle, ARemovedReceiverIsClosedWhollyEvenBeforeTheNextEnumeration) {
    DeviceHarness h("two receivers");
    h.start();
    h.mouse(0).setBattery(Link::Receiver, 50, 1);
    h.settle();
    ASSERT_TRUE(h.world->unplug(h.world->deviceOf(Link::Receiver, 0)));
    h.settle();
    // Its command collection too, although its slot stays listed until then.
    EXPECT_EQ(h.world->hid().openHandles(), 2);
    EXPECT_EQ(h.link().discovery().featureCount(), 2);
}

TEST(Lifecycle, CablePlugCyclesThroughTheDriverLibraryLeakNothing) {
    HarnessOptions withDriver;
    withDriver.driver = true;
    DeviceHarness h("cable", withDriver);
    h.start();
    const int cable = h.world->deviceOf(Link::Cable);
    ASSERT_TRUE(h.runUntil([&] { return h.loop.count(UM_DRIVER_PLUG) == 1; }));
    auto cycle = [&](int n) {
        ASSERT_TRUE(h.world->unplug(cable));
        ASSERT_TRUE(h.runUntil([&] { return h.links.wiredLink == 2; })) << "cycle " << n;
        ASSERT_TRUE(h.world->plug(cable));
        ASSERT_TRUE(h.runUntil([&] { return h.loop.armed(TimerId::CableSettle); })) << "cycle " << n;
        h.loop.advance(1000ms);
        ASSERT_EQ(h.links.wiredLink, 1) << "cycle " << n;
    };
    cycle(-1);
    const int descriptors = OpenDescriptors();
    const int threads = ThreadCount();
    for (int n = 0; n < 200; ++n) cycle(n);
    h.settle();
    EXPECT_EQ(OpenDescriptors(), descriptors);
    EXPECT_EQ(ThreadCount(), threads);
    // The library's event collection and its feature device.
    EXPECT_EQ(h.world->hid().openHandles(), 2);
}

TEST(Lifecycle, StoppingTheLinkEndsItsThreadsAndClosesEverything) {
    // A thread started and ended first, so that whatever the runtime starts along with
    // the first thread (a sanitizer's own) is counted in the baseline.
    std::thread([] {}).join();
    const int threads = ThreadCount();
    const int descriptors = OpenDescriptors();
    {
        HarnessOptions withDriver;
        withDriver.driver = true;
        DeviceHarness h("receiver and cable", withDriver);
        h.start();
        ASSERT_TRUE(h.runUntil(
            [&] { return h.link().discovery().activeSlot().filled() && h.loop.count(UM_DRIVER_PLUG) == 1; }));
        EXPECT_GT(ThreadCount(), threads);
        h.stack.reset();
        EXPECT_EQ(h.world->hid().openHandles(), 0);
        EXPECT_EQ(ThreadCount(), threads);
    }
    EXPECT_EQ(OpenDescriptors(), descriptors);
}

}  // namespace
}  // namespace halvern::test
