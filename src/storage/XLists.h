// The two list families of the scheduler's working data: TXList, a list of item pointers
// that may own its items and keep them sorted (the action list), and TGeneralList, a list of
// fixed-size numbers each carrying a pointer-sized data value (the due list).
#pragma once

#include "base/Errors.h"

#include <QString>
#include <cstdint>
#include <cstring>
#include <functional>
#include <type_traits>
#include <vector>

// How TXList::Clear releases its items. Every owning mode deletes the item: in C++ an item
// has one way to be released, whatever kind of block it is.
enum TFreeMode : std::uint8_t {
  fmNoFree = 0,
  fmFreeMem = 1,
  fmFreeObject = 2,
  fmFreeXMemory = 3,
  fmFreePChar = 4,
  fmFreeShortString = 5,
};

// The binary search of both list families over a sorted list of count elements: compareAt(i)
// is negative, 0 or positive for the element at i against the key. index is the match (the
// first of equal ones where duplicates are allowed) or the position where the key belongs.
template <class CompareAt>
bool FindSorted(int count, bool duplicates, CompareAt compareAt, int &index) {
  bool found = false;
  int low = 0, high = count - 1;
  while (low <= high) {
    const int middle = (low + high) / 2;
    const int r = compareAt(middle);
    if (r < 0) {
      low = middle + 1;
    } else {
      high = middle - 1;
      if (r == 0) {
        found = true;
        if (!duplicates)
          low = middle;
      }
    }
  }
  index = low;
  return found;
}

// A list of pointers to T; owns them (deletes them in Clear) unless FreeMode is fmNoFree.
template <class T> class TXList {
public:
  // Order of a sorted list: negative, 0 or positive for item in the list against key.
  using TCompareFunc = std::function<int(const T *item, const T *key)>;

  bool Sorted = false;
  TCompareFunc CompareFunc;
  TFreeMode FreeMode = fmNoFree;
  bool Duplicates = false; // sorted only: may an item equal to one in the list be added?

  TXList() = default;
  TXList(const TXList &) = delete;
  TXList &operator=(const TXList &) = delete;
  ~TXList() { Clear(); }

  int Count() const { return static_cast<int>(FItems.size()); }
  // Checked once, by CheckedIndex: the due check reads every entry at every tick.
  T *operator[](int index) const { return FItems[CheckedIndex(index)]; }
  T *Items(int index) const { return (*this)[index]; }

  // Appends, or inserts at the sorted position; the index, or −1 when refused as a duplicate
  // (the caller then still owns the item).
  int Add(T *item) {
    if (!Sorted) {
      FItems.push_back(item);
      return Count() - 1;
    }
    int index = 0;
    if (Find(item, index) && !Duplicates)
      return -1;
    FItems.insert(FItems.begin() + index, item);
    return index;
  }

  // Unsorted: by identity from the start. Sorted: binary search with CompareFunc; index is
  // the match or the position where item belongs.
  bool Find(const T *item, int &index) const {
    if (!Sorted) {
      for (index = 0; index < Count(); ++index)
        if (FItems[index] == item)
          return true;
      index = -1;
      return false;
    }
    return FindSorted(
        Count(), Duplicates, [&](int i) { return CompareFunc(FItems[i], item); }, index);
  }

  // Removes one item without releasing it.
  void Delete(int index) { FItems.erase(FItems.begin() + CheckedIndex(index)); }

  // Releases the items as FreeMode says, then empties the list.
  void Clear() {
    std::vector<T *> items;
    items.swap(FItems);
    if (FreeMode != fmNoFree)
      for (T *item : items)
        delete item;
  }

  // Clears, then adds the source's item pointers (shared, not copied).
  void Assign(const TXList &source) {
    if (&source == this)
      return;
    Clear();
    for (T *item : source.FItems)
      Add(item);
  }

private:
  std::size_t CheckedIndex(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= FItems.size())
      throw EXListError(QStringLiteral("Listenindex überschreitet das Maximum (%1)").arg(index));
    return static_cast<std::size_t>(index);
  }

  std::vector<T *> FItems;
};

// The data value each number carries; pointer-sized, so it can refer to an entry.
using TListData = std::intptr_t;

// Base of the numerical lists: count, capacity, growth and the sort, over abstract storage.
// Its own checks only call Error, which does nothing here; TGeneralList's Error raises.
class TCustomNumericalList {
public:
  static constexpr int DefaultMaxListCount = 134217727;

  virtual ~TCustomNumericalList() = default;

  int Count() const { return FCount; }
  int Capacity() const { return FCapacity; }
  bool Sorted() const { return FSorted; }
  bool Duplicates = false; // sorted only: may a value equal to one present be added?
  int GrowDelta = 0;       // fixed growth step; 0 or less chooses it by capacity
  int MaxListCount = DefaultMaxListCount;

  virtual void SetSorted(bool value);
  // Negative, 0 or positive for the elements at i and j.
  virtual int Compare(int i, int j) const = 0;
  virtual void Error() {}
  virtual void Grow();
  virtual void SetCapacity(int n);
  virtual void SetCount(int n);
  virtual void Clear();
  virtual void Delete(int i);
  virtual void Exchange(int i, int j);
  virtual void Move(int from, int to) = 0;
  virtual void Pack() = 0;
  virtual void Sort();

protected:
  bool IndexOk(int i) const { return i >= 0 && i < FCount; }
  // The checks of the base operations: false (after Error) when the call must not go on.
  bool CheckIndex(int i);
  bool CheckCapacity(int n);
  bool CheckCount(int n);
  void QuickSort(int left, int right);

  int FCount = 0;
  int FCapacity = 0;
  bool FSorted = false;
};

// Adds the data array: one TListData per element, moved along with its value.
class TCustomNumericalDataList : public TCustomNumericalList {
public:
  TCustomNumericalDataList() = default;
  TCustomNumericalDataList(const TCustomNumericalDataList &) = delete;
  TCustomNumericalDataList &operator=(const TCustomNumericalDataList &) = delete;
  ~TCustomNumericalDataList() override;

  void Exchange(int i, int j) override;
  TListData GetData(int i);
  void SetData(int i, TListData value);
  // First index whose data equals value, or −1.
  int IndexOfData(TListData value) const;
  // Deletes the first element whose data equals value; its former index or −1.
  int RemoveData(TListData value);

protected:
  void ResizeData(int capacity);
  TListData *FData = nullptr;
};

// The kinds of TGeneralList: element size and how values compare. Only the low 7 bits of a
// kind byte count; kinds above lkExtended are invalid.
enum TListKind : std::uint8_t {
  lkUInt8 = 0,
  lkUInt16 = 1,
  lkInt8 = 2,
  lkInt16 = 3,
  lkInt32 = 4,
  lkRaw64 = 5, // eight bytes that do not compare: never sort or search such a list
  lkInt64 = 6,
  lkSingle = 7,
  lkDouble = 8,
  lkDateTime = 9,
  lkExtended = 10, // 80-bit extended floating point, ten bytes
};

// A typed list of numbers, each carrying a TListData. Values are passed as raw bytes of the
// element size; every failed check raises EXListError and leaves the list unchanged.
class TGeneralList : public TCustomNumericalDataList {
public:
  explicit TGeneralList(TListKind kind);
  ~TGeneralList() override;

  TListKind ListKind() const { return FKind; }
  int ElementSize() const { return FElementSize; }

  int Compare(int i, int j) const override;
  void Error() override;
  void SetCapacity(int n) override;
  void SetCount(int n) override;
  void Delete(int i) override;
  void Exchange(int i, int j) override;
  void Move(int from, int to) override;
  void Pack() override;
  void Sort() override;

  void SetKind(TListKind kind);
  // Appends, or inserts at the sorted position (equal values refused unless Duplicates);
  // returns Count afterwards.
  int AddData(const void *value, TListData data);
  int IndexOf(const void *value) const;
  bool Find(const void *value, int &index) const;
  void Insert(int i, const void *value);
  void InsertData(int i, const void *value, TListData data);
  // False, with value untouched, for an index outside the list.
  bool Get(int i, void *value) const;
  void Put(int i, const void *value);
  // Copies kind, Sorted and Duplicates and every element into target.
  void AssignTo(TGeneralList &target) const;

  // Typed conveniences; V must hold at least ElementSize bytes of the value.
  template <class V> int AddValue(V value, TListData data) {
    static_assert(std::is_trivially_copyable_v<V>);
    return AddData(&value, data);
  }
  template <class V> V Value(int i) const {
    V value{};
    if (!Get(i, &value))
      const_cast<TGeneralList *>(this)->Error();
    return value;
  }

private:
  using TComparator = int (*)(const void *element, const void *key);
  std::uint8_t *ElementAt(int i) const {
    return FStorage + static_cast<std::size_t>(i) * FElementSize;
  }

  std::uint8_t *FStorage = nullptr;
  int FElementSize = 0;
  TListKind FKind = lkUInt8;
  TComparator FComparator = nullptr;
};
