#include <gtest/gtest.h>

#include "asyncindex/LocalSharedPtr.h"

namespace {

struct Tracked {
  explicit Tracked(int& alive) : alive_(alive) { ++alive_; }
  virtual ~Tracked() { --alive_; }
  int& alive_;
};

struct Derived : Tracked {
  using Tracked::Tracked;
};

TEST(LocalSharedPtr, LastOwnerDestroysTheObject) {
  int alive = 0;
  {
    kit::local_shared_ptr<Tracked> a = kit::make_local_shared<Tracked>(alive);
    EXPECT_EQ(alive, 1);
    kit::local_shared_ptr<Tracked> b = a;
    EXPECT_EQ(a.use_count(), 2);
    a.reset();
    EXPECT_EQ(alive, 1);
    EXPECT_EQ(b.use_count(), 1);
    kit::local_shared_ptr<Tracked> c = std::move(b);
    EXPECT_FALSE(b);
    EXPECT_EQ(alive, 1);
  }
  EXPECT_EQ(alive, 0);
}

TEST(LocalSharedPtr, WeakReferenceExpiresWithTheLastOwnerAndOutlivesIt) {
  int alive = 0;
  kit::local_weak_ptr<Tracked> weak;
  {
    auto owner = kit::make_local_shared<Tracked>(alive);
    weak = owner;
    EXPECT_FALSE(weak.expired());
    EXPECT_EQ(weak.lock().get(), owner.get());
  }
  EXPECT_EQ(alive, 0);
  EXPECT_TRUE(weak.expired());
  EXPECT_FALSE(weak.lock());
}

TEST(LocalSharedPtr, DeleterReleasesBuffersAndCastsShareOwnership) {
  int freed = 0;
  {
    kit::local_shared_ptr<uint8_t> buffer(new uint8_t[16], [&](uint8_t* p) {
      delete[] p;
      ++freed;
    });
    kit::local_shared_ptr<uint8_t> copy = buffer;
    buffer.reset();
    EXPECT_EQ(freed, 0);
  }
  EXPECT_EQ(freed, 1);

  int alive = 0;
  kit::local_shared_ptr<Tracked> base = kit::make_local_shared<Derived>(alive);
  kit::local_shared_ptr<Derived> derived = kit::dynamic_pointer_cast<Derived>(base);
  ASSERT_TRUE(derived);
  EXPECT_EQ(base.use_count(), 2);
  struct Other : Tracked {
    using Tracked::Tracked;
  };
  EXPECT_FALSE(kit::dynamic_pointer_cast<Other>(base));
  base.reset();
  EXPECT_EQ(alive, 1);
  derived.reset();
  EXPECT_EQ(alive, 0);
}

}  // namespace
