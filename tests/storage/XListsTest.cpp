#include "storage/XLists.h"
#include "base/ActionEntry.h"

#include <array>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace {

// A sorted, duplicate-refusing date-time list: the due list's setup.
struct TDueLikeList : TGeneralList {
  TDueLikeList() : TGeneralList(lkDateTime) { SetSorted(true); }
};

std::string Contents(const TGeneralList &list) {
  std::string text;
  for (int i = 0; i < list.Count(); ++i)
    text += QString::number(list.Value<double>(i), 'f', 1).toStdString() + "/" +
            static_cast<char>(const_cast<TGeneralList &>(list).GetData(i)) + " ";
  return text;
}

std::string ErrorText(const std::function<void()> &action) {
  try {
    action();
  } catch (const EXListError &error) {
    return error.Message().toStdString();
  }
  return "no error";
}

} // namespace

TEST(GeneralList, SortedListKeepsAscendingOrderAndRefusesEqualValues) {
  TDueLikeList list;
  list.AddValue(3.0, 'P');
  list.AddValue(1.0, 'Q');
  list.AddValue(2.0, 'R');
  EXPECT_EQ(Contents(list), "1.0/Q 2.0/R 3.0/P ");
  EXPECT_EQ(list.AddValue(2.0, 'S'), 3);
  EXPECT_EQ(Contents(list), "1.0/Q 2.0/R 3.0/P ");
}

TEST(GeneralList, WithDuplicatesAnEqualValueGoesFirst) {
  TDueLikeList list;
  list.Duplicates = true;
  list.AddValue(3.0, 'P');
  list.AddValue(1.0, 'Q');
  list.AddValue(2.0, 'R');
  EXPECT_EQ(list.AddValue(2.0, 'S'), 4);
  EXPECT_EQ(Contents(list), "1.0/Q 2.0/S 2.0/R 3.0/P ");
  int index = -1;
  EXPECT_TRUE(list.Find(std::array<double, 1>{2.0}.data(), index));
  EXPECT_EQ(index, 1);
}

TEST(GeneralList, UnsortedListAppendsAndSearchesLinearly) {
  TGeneralList list(lkInt32);
  for (std::int32_t v : {5, -3, 9, -3})
    list.AddValue(v, v);
  EXPECT_EQ(list.Count(), 4);
  std::int32_t key = -3;
  EXPECT_EQ(list.IndexOf(&key), 1);
  key = 9;
  int index = 0;
  EXPECT_TRUE(list.Find(&key, index));
  EXPECT_EQ(index, 2);
  key = 4;
  EXPECT_FALSE(list.Find(&key, index));
  EXPECT_EQ(list.IndexOfData(-3), 1);
  EXPECT_EQ(list.RemoveData(-3), 1);
  EXPECT_EQ(list.Value<std::int32_t>(1), 9);
}

TEST(GeneralList, BadIndexesRaiseWithCountAndCapacityAndChangeNothing) {
  TGeneralList list(lkDouble);
  list.AddValue(1.0, 1);
  list.AddValue(2.0, 2);
  const double three = 3.0;
  list.Insert(2, &three); // at Count: appends
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(ErrorText([&] { list.Insert(4, &three); }),
            "Fehler in GeneralList\rCount : 3; Capacity : 4");
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(ErrorText([&] { list.Delete(3); }), "Fehler in GeneralList\rCount : 3; Capacity : 4");
  EXPECT_EQ(ErrorText([&] { list.SetCapacity(2); }),
            "Fehler in GeneralList\rCount : 3; Capacity : 4");
  EXPECT_EQ(ErrorText([&] { list.SetCount(-1); }),
            "Fehler in GeneralList\rCount : 3; Capacity : 4");
  EXPECT_EQ(ErrorText([&] { list.SetCapacity(TCustomNumericalList::DefaultMaxListCount + 1); }),
            "Fehler in GeneralList\rCount : 3; Capacity : 4");
  EXPECT_EQ(ErrorText([&] { list.Move(0, 3); }), "Fehler in GeneralList\rCount : 3; Capacity : 4");
  EXPECT_EQ(ErrorText([&] { list.GetData(-1); }), "Fehler in GeneralList\rCount : 3; Capacity : 4");
  EXPECT_EQ(list.Value<double>(2), 3.0);
  double out = 42;
  EXPECT_FALSE(list.Get(-1, &out));
  EXPECT_EQ(out, 42);
}

TEST(GeneralList, GrowsThroughTheDocumentedCapacities) {
  TGeneralList list(lkUInt8);
  std::vector<int> capacities;
  for (int i = 0; i < 150; ++i) {
    const int before = list.Capacity();
    list.AddValue(std::uint8_t(i), 0);
    if (list.Capacity() != before)
      capacities.push_back(list.Capacity());
  }
  EXPECT_EQ(capacities, (std::vector<int>{4, 8, 12, 28, 44, 60, 76, 95, 118, 147, 183}));
  list.GrowDelta = 10;
  list.SetCount(183);
  list.AddValue(std::uint8_t(1), 0);
  EXPECT_EQ(list.Capacity(), 193);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 0);
}

TEST(GeneralList, MoveExchangeDeleteCarryTheDataAlong) {
  TGeneralList list(lkInt16);
  for (std::int16_t v = 0; v < 5; ++v)
    list.AddValue(v, 'a' + v);
  list.Move(0, 4);
  list.Exchange(0, 1);
  list.Delete(2);
  std::string data;
  for (int i = 0; i < list.Count(); ++i)
    data += static_cast<char>(list.GetData(i));
  EXPECT_EQ(data, "cbea");
  EXPECT_EQ(list.Value<std::int16_t>(0), 2);
  const std::int16_t seven = 7;
  list.Put(0, &seven);
  EXPECT_EQ(list.Value<std::int16_t>(0), 7);
  list.SetData(0, 'z');
  EXPECT_EQ(list.GetData(0), 'z');
}

TEST(GeneralList, SortAndPackAndSignedKinds) {
  TGeneralList list(lkInt8);
  for (std::int8_t v : {3, 0, -7, 0, 100, -128, 5})
    list.AddValue(v, v);
  list.Pack();
  EXPECT_EQ(list.Count(), 5);
  list.Sort();
  std::vector<int> values;
  for (int i = 0; i < list.Count(); ++i) {
    values.push_back(list.Value<std::int8_t>(i));
    EXPECT_EQ(list.GetData(i), values.back()); // data moved with its value
  }
  EXPECT_EQ(values, (std::vector<int>{-128, -7, 3, 5, 100}));

  TGeneralList unsignedList(lkUInt16);
  unsignedList.SetSorted(true);
  for (std::uint16_t v : {65535, 1, 300})
    unsignedList.AddValue(v, 0);
  EXPECT_EQ(unsignedList.Value<std::uint16_t>(0), 1);
  EXPECT_EQ(unsignedList.Value<std::uint16_t>(2), 65535);
}

TEST(GeneralList, SortHandlesLargeAndRepetitiveInput) {
  TGeneralList list(lkInt64);
  std::int64_t seed = 12345;
  for (int i = 0; i < 5000; ++i) {
    seed = (seed * 1103515245 + 12345) % 2147483648;
    list.AddValue<std::int64_t>(seed % 97, i);
  }
  list.SetSorted(true);
  for (int i = 1; i < list.Count(); ++i)
    ASSERT_LE(list.Value<std::int64_t>(i - 1), list.Value<std::int64_t>(i));
}

TEST(GeneralList, FloatKindsTreatNotANumberAsTheirComparatorsSay) {
  TGeneralList single(lkSingle);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  single.AddValue(nan, 0);
  EXPECT_EQ(single.IndexOf(&nan), -1); // NaN never equals anything
  EXPECT_EQ(single.Compare(0, 0), -1);

  TGeneralList extended(lkExtended);
  EXPECT_EQ(extended.ElementSize(), 10);
  extended.SetSorted(true);
  for (long double v : {2.5L, -1.0L, 1e300L})
    extended.AddValue(v, 0);
  EXPECT_EQ(extended.Value<long double>(0), -1.0L);
  EXPECT_EQ(extended.Value<long double>(2), 1e300L);
  const long double lnan = std::numeric_limits<long double>::quiet_NaN();
  extended.Put(0, &lnan);
  EXPECT_EQ(extended.Compare(0, 1), 1);
}

TEST(GeneralList, SetKindReinterpretsTheBytes) {
  TGeneralList list(lkUInt8);
  for (std::uint8_t v : {1, 0, 2, 0, 3, 0})
    list.AddValue(v, 0);
  list.SetKind(lkUInt16);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.ElementSize(), 2);
  EXPECT_EQ(list.Value<std::uint16_t>(2), 3);
  TGeneralList copy(lkDouble);
  list.AssignTo(copy);
  EXPECT_EQ(copy.ListKind(), lkUInt16);
  EXPECT_EQ(copy.Count(), 3);
  EXPECT_EQ(copy.Value<std::uint16_t>(1), 2);
}

TEST(XList, OwningListReleasesItsEntriesOnClear) {
  // Each entry counts its own destruction through a shared counter.
  struct Counted {
    int *Released;
    ~Counted() { ++*Released; }
  };
  int released = 0;
  {
    TXList<Counted> list;
    list.FreeMode = fmFreeMem;
    for (int i = 0; i < 3; ++i)
      EXPECT_EQ(list.Add(new Counted{&released}), i); // Add returns Count − 1
    list.Clear();
    EXPECT_EQ(released, 3);
    EXPECT_EQ(list.Count(), 0);
    list.Add(new Counted{&released});
  }
  EXPECT_EQ(released, 4); // destruction clears too
  Counted kept{&released};
  {
    TXList<Counted> borrowing;
    borrowing.Add(&kept);
  }
  EXPECT_EQ(released, 4);
}

TEST(XList, SortedModeUsesCompareFuncAndRefusesDuplicates) {
  TXList<TActionEntry> list;
  list.FreeMode = fmFreeMem;
  list.Sorted = true;
  list.CompareFunc = [](const TActionEntry *a, const TActionEntry *b) {
    return a->Action.Text().compare(b->Action.Text());
  };
  for (const char *text : {"c", "a", "b"}) {
    auto *entry = new TActionEntry;
    entry->Action = QString::fromLatin1(text);
    list.Add(entry);
  }
  EXPECT_EQ(list[0]->Action.Text(), QStringLiteral("a"));
  EXPECT_EQ(list[2]->Action.Text(), QStringLiteral("c"));
  TActionEntry duplicate;
  duplicate.Action = QStringLiteral("b");
  EXPECT_EQ(list.Add(&duplicate), -1);
  int index = -1;
  EXPECT_TRUE(list.Find(&duplicate, index));
  EXPECT_EQ(index, 1);
  EXPECT_THROW(list[3], EXListError);
}
