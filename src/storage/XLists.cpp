#include "storage/XLists.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>
#include <utility>

// ---- TCustomNumericalList -------------------------------------------------------------

bool TCustomNumericalList::CheckIndex(int i) {
  if (IndexOk(i))
    return true;
  Error();
  return false;
}

bool TCustomNumericalList::CheckCapacity(int n) {
  if (n >= FCount && n <= MaxListCount)
    return true;
  Error();
  return false;
}

bool TCustomNumericalList::CheckCount(int n) {
  if (n >= 0 && n <= MaxListCount)
    return true;
  Error();
  return false;
}

void TCustomNumericalList::SetSorted(bool value) {
  if (value == FSorted)
    return;
  FSorted = value;
  if (value)
    Sort();
}

void TCustomNumericalList::Grow() {
  int step = GrowDelta;
  if (step <= 0)
    step = FCapacity > 64 ? FCapacity / 4 : (FCapacity > 8 ? 16 : 4);
  SetCapacity(FCapacity + step);
}

void TCustomNumericalList::SetCapacity(int n) {
  if (n != FCapacity)
    CheckCapacity(n);
}

void TCustomNumericalList::SetCount(int n) {
  if (CheckCount(n) && n > FCapacity)
    SetCapacity(n);
}

void TCustomNumericalList::Clear() {
  SetCount(0);
  SetCapacity(0);
}

void TCustomNumericalList::Delete(int i) {
  CheckIndex(i);
}

void TCustomNumericalList::Exchange(int i, int j) {
  if (CheckIndex(i))
    CheckIndex(j);
}

void TCustomNumericalList::Sort() {
  if (FCount > 1)
    QuickSort(0, FCount - 1);
}

void TCustomNumericalList::QuickSort(int left, int right) {
  // Hoare partition around the middle element; the pivot's index follows its exchanges.
  while (left < right) {
    int i = left, j = right, pivot = (left + right) / 2;
    do {
      while (Compare(i, pivot) < 0)
        ++i;
      while (Compare(j, pivot) > 0)
        --j;
      if (i <= j) {
        if (i != j) {
          Exchange(i, j);
          if (pivot == i)
            pivot = j;
          else if (pivot == j)
            pivot = i;
        }
        ++i;
        --j;
      }
    } while (i <= j);
    if (left < j)
      QuickSort(left, j);
    left = i;
  }
}

// ---- TCustomNumericalDataList ---------------------------------------------------------

TCustomNumericalDataList::~TCustomNumericalDataList() {
  std::free(FData);
}

void TCustomNumericalDataList::ResizeData(int capacity) {
  if (capacity == 0) {
    std::free(FData);
    FData = nullptr;
    return;
  }
  auto *grown = static_cast<TListData *>(
      std::realloc(FData, static_cast<std::size_t>(capacity) * sizeof(TListData)));
  if (!grown)
    throw std::bad_alloc();
  if (capacity > FCapacity)
    std::memset(grown + FCapacity, 0,
                static_cast<std::size_t>(capacity - FCapacity) * sizeof(TListData));
  FData = grown;
}

void TCustomNumericalDataList::Exchange(int i, int j) {
  if (!IndexOk(i) || !IndexOk(j)) {
    TCustomNumericalList::Exchange(i, j);
    return;
  }
  std::swap(FData[i], FData[j]);
}

TListData TCustomNumericalDataList::GetData(int i) {
  return CheckIndex(i) ? FData[i] : 0;
}

void TCustomNumericalDataList::SetData(int i, TListData value) {
  if (CheckIndex(i))
    FData[i] = value;
}

int TCustomNumericalDataList::IndexOfData(TListData value) const {
  for (int i = 0; i < FCount; ++i)
    if (FData[i] == value)
      return i;
  return -1;
}

int TCustomNumericalDataList::RemoveData(TListData value) {
  const int index = IndexOfData(value);
  if (index >= 0)
    Delete(index);
  return index;
}

// ---- TGeneralList ---------------------------------------------------------------------

namespace {

template <class V> V Load(const void *p) {
  V value;
  std::memcpy(&value, p, sizeof(V));
  return value;
}

template <class V> int CompareIntegers(const void *element, const void *key) {
  const V a = Load<V>(element), b = Load<V>(key);
  return a > b ? 1 : (a < b ? -1 : 0);
}

// Not-a-number on either side compares as "smaller" (−1), as the original lists did.
template <class V> int CompareFloats(const void *element, const void *key) {
  const V a = Load<V>(element), b = Load<V>(key);
  if (std::isnan(a) || std::isnan(b))
    return -1;
  return a > b ? 1 : (a < b ? -1 : 0);
}

long double LoadExtended(const void *p) {
  long double value = 0;
  std::memcpy(&value, p, 10); // the x87 80-bit format: the first ten bytes
  return value;
}

// Not-a-number on either side compares as "greater" (1) for the extended kind.
int CompareExtended(const void *element, const void *key) {
  const long double a = LoadExtended(element), b = LoadExtended(key);
  if (std::isnan(a) || std::isnan(b))
    return 1;
  return a > b ? 1 : (a < b ? -1 : 0);
}

struct TKindInfo {
  int Size;
  int (*Comparator)(const void *, const void *);
};

TKindInfo KindInfo(TListKind kind) {
  switch (kind & 0x7F) {
  case lkUInt8:
    return {1, CompareIntegers<std::uint8_t>};
  case lkUInt16:
    return {2, CompareIntegers<std::uint16_t>};
  case lkInt8:
    return {1, CompareIntegers<std::int8_t>};
  case lkInt16:
    return {2, CompareIntegers<std::int16_t>};
  case lkInt32:
    return {4, CompareIntegers<std::int32_t>};
  case lkRaw64:
    return {8, nullptr};
  case lkInt64:
    return {8, CompareIntegers<std::int64_t>};
  case lkSingle:
    return {4, CompareFloats<float>};
  case lkDouble:
  case lkDateTime:
    return {8, CompareFloats<double>};
  case lkExtended:
    return {10, CompareExtended};
  default:
    throw EXListError(QStringLiteral("Ungültige Listenart %1").arg(int(kind)));
  }
}

} // namespace

TGeneralList::TGeneralList(TListKind kind) {
  const TKindInfo info = KindInfo(kind);
  FKind = static_cast<TListKind>(kind & 0x7F);
  FElementSize = info.Size;
  FComparator = info.Comparator;
}

TGeneralList::~TGeneralList() {
  std::free(FStorage);
}

int TGeneralList::Compare(int i, int j) const {
  if (!FComparator)
    return 0;
  return FComparator(ElementAt(i), ElementAt(j));
}

void TGeneralList::Error() {
  throw EXListError(QStringLiteral("Fehler in GeneralList\rCount : %1; Capacity : %2")
                        .arg(FCount)
                        .arg(FCapacity));
}

void TGeneralList::SetCapacity(int n) {
  if (n == FCapacity)
    return;
  if (!CheckCapacity(n))
    return;
  if (n == 0) {
    std::free(FStorage);
    FStorage = nullptr;
  } else {
    auto *grown = static_cast<std::uint8_t *>(
        std::realloc(FStorage, static_cast<std::size_t>(n) * FElementSize));
    if (!grown)
      throw std::bad_alloc();
    if (n > FCapacity)
      std::memset(grown + static_cast<std::size_t>(FCapacity) * FElementSize, 0,
                  static_cast<std::size_t>(n - FCapacity) * FElementSize);
    FStorage = grown;
  }
  ResizeData(n);
  FCapacity = n;
}

void TGeneralList::SetCount(int n) {
  if (!CheckCount(n))
    return;
  if (n > FCapacity)
    SetCapacity(n);
  if (n > FCount) {
    std::memset(ElementAt(FCount), 0, static_cast<std::size_t>(n - FCount) * FElementSize);
    std::memset(FData + FCount, 0, static_cast<std::size_t>(n - FCount) * sizeof(TListData));
  }
  FCount = n;
}

void TGeneralList::Delete(int i) {
  if (!CheckIndex(i))
    return;
  --FCount;
  if (i < FCount) {
    std::memmove(ElementAt(i), ElementAt(i + 1),
                 static_cast<std::size_t>(FCount - i) * FElementSize);
    std::memmove(FData + i, FData + i + 1,
                 static_cast<std::size_t>(FCount - i) * sizeof(TListData));
  }
}

void TGeneralList::Exchange(int i, int j) {
  if (!CheckIndex(i) || !CheckIndex(j))
    return;
  std::uint8_t buffer[16];
  std::memcpy(buffer, ElementAt(i), FElementSize);
  std::memcpy(ElementAt(i), ElementAt(j), FElementSize);
  std::memcpy(ElementAt(j), buffer, FElementSize);
  std::swap(FData[i], FData[j]);
}

void TGeneralList::Move(int from, int to) {
  if (from == to)
    return;
  if (!CheckIndex(from) || !CheckIndex(to))
    return;
  std::uint8_t buffer[16];
  std::memcpy(buffer, ElementAt(from), FElementSize);
  const TListData data = FData[from];
  Delete(from);
  InsertData(to, buffer, data);
}

void TGeneralList::Pack() {
  static const std::uint8_t zero[16] = {};
  for (int i = FCount - 1; i >= 0; --i) {
    const bool isZero = FComparator ? FComparator(ElementAt(i), zero) == 0
                                    : std::memcmp(ElementAt(i), zero, FElementSize) == 0;
    if (isZero)
      Delete(i);
  }
}

void TGeneralList::Sort() {
  // Raw eight-byte values do not compare, so such a list keeps its order.
  if (FComparator)
    TCustomNumericalList::Sort();
}

void TGeneralList::SetKind(TListKind kind) {
  const TKindInfo info = KindInfo(kind);
  const auto newKind = static_cast<TListKind>(kind & 0x7F);
  if (newKind == FKind)
    return;
  const std::size_t storageBytes = static_cast<std::size_t>(FCapacity) * FElementSize;
  const int newCount =
      static_cast<int>(static_cast<std::size_t>(FCount) * FElementSize / info.Size);
  const int newCapacity = static_cast<int>(storageBytes / info.Size);
  FKind = newKind;
  FElementSize = info.Size;
  FComparator = info.Comparator;
  // The bytes stay; only their reading changes. Trim the storage to whole elements and
  // size the data array to the new capacity.
  if (newCapacity == 0) {
    std::free(FStorage);
    FStorage = nullptr;
  } else if (static_cast<std::size_t>(newCapacity) * info.Size != storageBytes) {
    if (auto *trimmed = static_cast<std::uint8_t *>(
            std::realloc(FStorage, static_cast<std::size_t>(newCapacity) * info.Size)))
      FStorage = trimmed;
  }
  ResizeData(newCapacity); // zero-fills from the old capacity on
  FCapacity = newCapacity;
  FCount = newCount;
  if (FSorted)
    Sort();
}

bool TGeneralList::Find(const void *value, int &index) const {
  if (!FSorted) {
    index = IndexOf(value);
    return index >= 0;
  }
  return FindSorted(
      FCount, Duplicates, [&](int i) { return FComparator ? FComparator(ElementAt(i), value) : 0; },
      index);
}

int TGeneralList::IndexOf(const void *value) const {
  if (FSorted) {
    int index = 0;
    return Find(value, index) ? index : -1;
  }
  for (int i = 0; i < FCount; ++i)
    if (FComparator ? FComparator(ElementAt(i), value) == 0
                    : std::memcmp(ElementAt(i), value, FElementSize) == 0)
      return i;
  return -1;
}

int TGeneralList::AddData(const void *value, TListData data) {
  if (!FSorted) {
    InsertData(FCount, value, data);
  } else {
    int index = 0;
    if (!Find(value, index) || Duplicates)
      InsertData(index, value, data);
  }
  return FCount;
}

void TGeneralList::Insert(int i, const void *value) {
  if (i < 0 || i > FCount) {
    Error();
    return;
  }
  if (FCount == FCapacity)
    Grow();
  if (i < FCount) {
    std::memmove(ElementAt(i + 1), ElementAt(i),
                 static_cast<std::size_t>(FCount - i) * FElementSize);
    std::memmove(FData + i + 1, FData + i,
                 static_cast<std::size_t>(FCount - i) * sizeof(TListData));
  }
  std::memcpy(ElementAt(i), value, FElementSize);
  ++FCount;
}

void TGeneralList::InsertData(int i, const void *value, TListData data) {
  Insert(i, value);
  FData[i] = data;
}

bool TGeneralList::Get(int i, void *value) const {
  if (!IndexOk(i))
    return false;
  std::memcpy(value, ElementAt(i), FElementSize);
  return true;
}

void TGeneralList::Put(int i, const void *value) {
  if (CheckIndex(i))
    std::memcpy(ElementAt(i), value, FElementSize);
}

void TGeneralList::AssignTo(TGeneralList &target) const {
  if (&target == this)
    return;
  target.Clear();
  target.FSorted = FSorted;
  target.SetKind(FKind);
  target.Duplicates = Duplicates;
  for (int i = 0; i < FCount; ++i)
    target.AddData(ElementAt(i), FData[i]);
}
