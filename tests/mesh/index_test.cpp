// The element-name index: normalisation, buckets, the order the bucket
// passes leave inside a bucket, and the fast lookup against the plain scan.

#include <gtest/gtest.h>

#include <numeric>
#include <random>

#include "mesh/mesh.hpp"

namespace pz {
namespace {

// The bucket passes written out literally, element by element over the
// whole unfilled tail: the order the fast build must reproduce.
void reference_hash(std::vector<Name>& ID, std::vector<int>& IND, std::vector<int>& HSH, int n, int buckets) {
  std::vector<int> W1(n + 1);
  for (int i = 1; i <= n; ++i) {
    if (ID[i][3] == '0') ID[i][3] = ' ';
    W1[i] = bucket_of(ID[i], buckets);
  }
  HSH.assign(buckets + 1, 0);
  int c = 0;
  for (int b = 1; b <= buckets; ++b) {
    for (int p = c + 1; p <= n; ++p) {
      if (W1[IND[p]] != b) continue;
      W1[IND[p]] = 0;
      ++c;
      std::swap(IND[p], IND[c]);
    }
    HSH[b] = c;
  }
}

// n names over a tiny alphabet, so that many are equal or equal after
// normalisation, in a shuffled IND.
struct RandomIndex {
  std::vector<Name> ID;
  NameIndex index;
  RandomIndex(int n, unsigned seed) {
    std::mt19937 rng(seed);
    const char alphabet[] = "AB0 a";
    ID.assign(n + 1, blank_name);
    for (int i = 1; i <= n; ++i)
      for (char& ch : ID[i]) ch = alphabet[rng() % 5];
    index.IND.resize(n + 1);
    std::iota(index.IND.begin(), index.IND.end(), 0);
    std::shuffle(index.IND.begin() + 1, index.IND.end(), rng);
  }
};

TEST(NameIndex, NormalisesOnlyAZeroInTheFourthCharacter) {
  EXPECT_EQ(normalise(make_name("AB001")), make_name("AB0 1"));
  EXPECT_EQ(normalise(make_name("A0B01")), make_name("A0B 1"));
  EXPECT_EQ(normalise(make_name("a1  1")), make_name("a1  1"));
  EXPECT_EQ(bucket_of(make_name("A"), 256), 2);
  EXPECT_EQ(bucket_of(blank_name, 256), 225);
  EXPECT_EQ(bucket_of(make_name("AB0 1"), 256), 203);
  EXPECT_EQ(bucket_of(make_name("a1  1"), 256), 153);
  EXPECT_EQ(bucket_of(make_name("A1  1"), 256), 121);
  EXPECT_EQ(bucket_of(make_name("\xff\xff\xff\xff\xff"), 256), 15 * 255 % 256 + 1);  // unsigned bytes
}

TEST(NameIndex, BuildGivesTheSameOrderAsTheBucketPasses) {
  for (int buckets : {256, 7, 1, 300}) {
    for (int n : {0, 1, 2000}) {
      RandomIndex r(n, 17u * n + buckets);
      std::vector<Name> ref_ID = r.ID;
      std::vector<int> ref_IND = r.index.IND, ref_HSH;
      reference_hash(ref_ID, ref_IND, ref_HSH, n, buckets);
      std::vector<int> W1(n + 1, 0);
      hash(r.ID, r.index, n, buckets, W1);
      EXPECT_EQ(r.ID, ref_ID);
      EXPECT_EQ(r.index.IND, ref_IND) << buckets << " buckets, " << n;
      EXPECT_EQ(r.index.HSH, ref_HSH);
      EXPECT_EQ(std::count(W1.begin(), W1.end(), 0), n + 1);
      // A second build from the first one's order changes nothing (the
      // reader skips it when no element moved).
      hash(r.ID, r.index, n, buckets, W1);
      EXPECT_EQ(r.index.IND, ref_IND);
      EXPECT_EQ(r.index.HSH, ref_HSH);
    }
  }
}

TEST(NameIndex, FastLookupAgreesWithTheScanForEveryNameAndBound) {
  for (int buckets : {256, 3}) {
    const int n = 600;
    RandomIndex r(n, 5u + buckets);
    std::vector<Name> probes(r.ID.begin() + 1, r.ID.end());  // before normalising
    probes.push_back(make_name("zzzzz"));
    std::vector<int> W1(n + 1);
    hash(r.ID, r.index, n, buckets, W1);
    int found = 0;
    for (const Name& p : probes) {
      for (int bound : {0, 1, n / 3, n / 2, n}) {
        const std::string_view probe(p.data(), 5);
        ASSERT_EQ(ihash(r.index, probe, bound), ihash_scan(r.index, r.ID, probe, bound));
        found += ihash(r.index, probe, bound) != 0;
      }
    }
    std::vector<int> many(probes.size());
    ihash_many(r.index, probes.data(), static_cast<int>(probes.size()), n / 2, many.data());
    for (std::size_t i = 0; i < probes.size(); ++i)
      ASSERT_EQ(many[i], ihash(r.index, probes[i], n / 2)) << i;
    EXPECT_GT(found, n);  // the bounds do cut some answers, not all
    EXPECT_LT(found, 5 * n);
  }
}

TEST(NameIndex, FirstInBucketOrderWinsAndTheBoundDoesNotLookFurther) {
  // Elements 1 and 3 are both "A1  1" once normalised. From IND 2, 3, 1 the
  // pass of "B"'s bucket takes 2 in place and the pass of "A1  1"'s bucket
  // meets 3 before 1.
  std::vector<Name> ID{blank_name, make_name("A1 01"), make_name("B"), make_name("A1  1")};
  NameIndex index;
  index.IND = {0, 2, 3, 1};
  std::vector<int> W1(4);
  hash(ID, index, 3, 256, W1);
  EXPECT_EQ(ID[1], make_name("A1  1"));
  EXPECT_EQ(ihash(index, "A1 01", 3), 3);
  EXPECT_EQ(ihash(index, "A1  1", 2), 0);  // element 1 also bears it, but 3 comes first
  EXPECT_EQ(ihash(index, "B", 3), 2);
  EXPECT_EQ(ihash(index, "B    extra", 3), 2);  // cut to 5 characters
  EXPECT_EQ(ihash(index, "b", 3), 0);
  EXPECT_EQ(ihash(index, "     ", 3), 0);
  EXPECT_EQ(ihash(NameIndex{}, "A", 5), 0);  // never built
}

}  // namespace
}  // namespace pz
