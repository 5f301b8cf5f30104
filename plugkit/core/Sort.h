#pragma once

#include <utility>

namespace plugkit::core {

// Stable in-place block-merge sort (GrailSort). No allocation. The comparison returns a negative,
// zero or positive int for a < b, a == b, a > b. Arrays shorter than 16 are insertion-sorted; longer
// ones collect about sqrt(n) distinct keys from the array itself as tags and merge buffer, and fall
// back to a buffer-less stable merge sort when fewer than 4 distinct keys exist.
// [any thread]
template <class T, class Compare>
void grail_commonSort(T* array, int n, Compare cmp);

namespace grail_detail {

template <class T>
inline void swapN(T* a, T* b, int n) {
    for (int i = 0; i < n; ++i) std::swap(a[i], b[i]);
}

// Exchanges the adjacent ranges a[0, l1) and a[l1, l1 + l2).
template <class T>
void rotate(T* a, int l1, int l2) {
    while (l1 && l2) {
        if (l1 <= l2) {
            swapN(a, a + l1, l1);
            a += l1;
            l2 -= l1;
        } else {
            swapN(a + (l1 - l2), a + l1, l2);
            l1 -= l2;
        }
    }
}

// First index in arr[0, len) whose element is not less than key.
template <class T, class C>
int binSearchLeft(const T* arr, int len, const T& key, C& cmp) {
    // Invariant: arr[below] fails the test (or below is -1), arr[above] passes it (or above is len).
    int below = -1, above = len;
    while (below < above - 1) {
        const int mid = below + ((above - below) >> 1);
        if (cmp(arr[mid], key) >= 0)
            above = mid;
        else
            below = mid;
    }
    return above;
}

// First index in arr[0, len) whose element is greater than key.
template <class T, class C>
int binSearchRight(const T* arr, int len, const T& key, C& cmp) {
    // Invariant: arr[below] fails the test (or below is -1), arr[above] passes it (or above is len).
    int below = -1, above = len;
    while (below < above - 1) {
        const int mid = below + ((above - below) >> 1);
        if (cmp(arr[mid], key) > 0)
            above = mid;
        else
            below = mid;
    }
    return above;
}

template <class T, class C>
void insertSort(T* arr, int len, C& cmp) {
    for (int i = 1; i < len; ++i)
        for (int j = i - 1; j >= 0 && cmp(arr[j + 1], arr[j]) < 0; --j) std::swap(arr[j], arr[j + 1]);
}

// Moves the first occurrence of up to nkeys distinct values to the front, in sorted order, keeping
// the order of everything else. Returns how many were found.
template <class T, class C>
int findKeys(T* arr, int len, int nkeys, C& cmp) {
    // The keys found so far are kept sorted in arr[keysStart, keysStart + found), just before the
    // element examined; a new distinct value is rotated into its place among them.
    int found = 1, keysStart = 0;
    for (int next = 1; next < len && found < nkeys; ++next) {
        const int place = binSearchLeft(arr + keysStart, found, arr[next], cmp);
        if (place == found || cmp(arr[next], arr[keysStart + place]) != 0) {
            rotate(arr + keysStart, found, next - (keysStart + found));
            keysStart = next - found;
            rotate(arr + (keysStart + place), found - place, 1);
            ++found;
        }
    }
    rotate(arr, keysStart, found);
    return found;
}

// Stable merge of arr[0, len1) and arr[len1, len1 + len2) by rotations.
template <class T, class C>
void mergeWithoutBuffer(T* arr, int len1, int len2, C& cmp) {
    if (len1 < len2) {
        while (len1) {
            const int h = binSearchLeft(arr + len1, len2, arr[0], cmp);
            if (h != 0) {
                rotate(arr, len1, h);
                arr += h;
                len2 -= h;
            }
            if (len2 == 0) break;
            do {
                ++arr;
                --len1;
            } while (len1 && cmp(arr[0], arr[len1]) <= 0);
        }
    } else {
        while (len2) {
            const int h = binSearchRight(arr, len1, arr[len1 + len2 - 1], cmp);
            if (h != len1) {
                rotate(arr + h, len1 - h, len2);
                len1 = h;
            }
            if (len1 == 0) break;
            do {
                --len2;
            } while (len2 && cmp(arr[len1 - 1], arr[len1 + len2 - 1]) <= 0);
        }
    }
}

// arr[m, 0) is the buffer (m < 0); merges arr[0, l1) with arr[l1, l1 + l2) into arr[m, m + l1 + l2),
// the buffer ending up behind the result.
template <class T, class C>
void mergeLeft(T* arr, int l1, int l2, int m, C& cmp) {
    int p0 = 0, p1 = l1;
    l2 += l1;
    while (p1 < l2) {
        if (p0 == l1 || cmp(arr[p0], arr[p1]) > 0)
            std::swap(arr[m++], arr[p1++]);
        else
            std::swap(arr[m++], arr[p0++]);
    }
    if (m != p0) swapN(arr + m, arr + p0, l1 - p0);
}

// arr[l1 + l2, l1 + l2 + m) is the buffer; merges the two runs into arr[m, m + l1 + l2).
template <class T, class C>
void mergeRight(T* arr, int l1, int l2, int m, C& cmp) {
    int p0 = l1 + l2 + m - 1, p2 = l1 + l2 - 1, p1 = l1 - 1;
    while (p1 >= 0) {
        if (p2 < l1 || cmp(arr[p1], arr[p2]) > 0)
            std::swap(arr[p0--], arr[p1--]);
        else
            std::swap(arr[p0--], arr[p2--]);
    }
    if (p2 != p0)
        while (p2 >= l1) std::swap(arr[p0--], arr[p2--]);
}

// Merges the rest of the previous run (*alen1 elements, origin *atype) with the next block of len2,
// through the buffer of lkeys elements in front. Leaves the unmerged tail and its origin.
template <class T, class C>
void smartMergeWithBuffer(T* arr, int* alen1, int* atype, int len2, int lkeys, C& cmp) {
    int p0 = -lkeys, p1 = 0, p2 = *alen1, q1 = p2, q2 = p2 + len2;
    const int ftype = 1 - *atype;  // 1 when the left run comes from the second stream
    while (p1 < q1 && p2 < q2) {
        if (cmp(arr[p1], arr[p2]) - ftype < 0)
            std::swap(arr[p0++], arr[p1++]);
        else
            std::swap(arr[p0++], arr[p2++]);
    }
    if (p1 < q1) {
        *alen1 = q1 - p1;
        while (p1 < q1) std::swap(arr[--q1], arr[--q2]);
    } else {
        *alen1 = q2 - p2;
        *atype = ftype;
    }
}

template <class T, class C>
void smartMergeWithoutBuffer(T* arr, int* alen1, int* atype, int len2, C& cmp) {
    if (!len2) return;
    int len1 = *alen1;
    const int ftype = 1 - *atype;
    if (len1 && cmp(arr[len1 - 1], arr[len1]) - ftype >= 0) {
        while (len1) {
            const int h = ftype ? binSearchLeft(arr + len1, len2, arr[0], cmp)
                                : binSearchRight(arr + len1, len2, arr[0], cmp);
            if (h != 0) {
                rotate(arr, len1, h);
                arr += h;
                len2 -= h;
            }
            if (len2 == 0) {
                *alen1 = len1;
                return;
            }
            do {
                ++arr;
                --len1;
            } while (len1 && cmp(arr[0], arr[len1]) - ftype < 0);
        }
    }
    *alen1 = len2;
    *atype = ftype;
}

// arr[-k, 0) is the buffer. Sorts runs of 2k elements (and the rest), leaving the buffer in front.
template <class T, class C>
void buildBlocks(T* arr, int len, int k, C& cmp) {
    for (int m = 1; m < len; m += 2) {
        const int u = cmp(arr[m - 1], arr[m]) > 0 ? 1 : 0;
        std::swap(arr[m - 3], arr[m - 1 + u]);
        std::swap(arr[m - 2], arr[m - u]);
    }
    if (len % 2) std::swap(arr[len - 1], arr[len - 3]);
    arr -= 2;
    for (int h = 2; h < k; h *= 2) {
        int p0 = 0;
        const int p1 = len - 2 * h;
        while (p0 <= p1) {
            mergeLeft(arr + p0, h, h, -h, cmp);
            p0 += 2 * h;
        }
        const int rest = len - p0;
        if (rest > h)
            mergeLeft(arr + p0, h, rest - h, -h, cmp);
        else
            rotate(arr + (p0 - h), h, rest);
        arr -= h;
    }
    const int restk = len % (2 * k);
    int p = len - restk;
    if (restk <= k)
        rotate(arr + p, restk, k);
    else
        mergeRight(arr + p, k, restk - k, k, cmp);
    while (p > 0) {
        p -= 2 * k;
        mergeRight(arr + p, k, k, k, cmp);
    }
}

// Merges nblock regular blocks (already ordered by first element and tagged by keys: a key below
// *midkey marks the first stream), then nblock2 blocks of the first stream with a last irregular
// block of llast elements from the second stream.
template <class T, class C>
void mergeBuffersLeft(T* keys, T* midkey, T* arr, int nblock, int lblock, bool havebuf, int nblock2,
                      int llast, C& cmp) {
    if (nblock == 0) {
        const int l = nblock2 * lblock;
        if (havebuf)
            mergeLeft(arr, l, llast, -lblock, cmp);
        else
            mergeWithoutBuffer(arr, l, llast, cmp);
        return;
    }
    int lrest = lblock;
    int frest = cmp(keys[0], *midkey) < 0 ? 0 : 1;
    int pidx = lblock;
    for (int cidx = 1; cidx < nblock; ++cidx, pidx += lblock) {
        const int prest = pidx - lrest;
        const int fnext = cmp(keys[cidx], *midkey) < 0 ? 0 : 1;
        if (fnext == frest) {
            if (havebuf) swapN(arr + prest - lblock, arr + prest, lrest);
            lrest = lblock;
        } else if (havebuf) {
            smartMergeWithBuffer(arr + prest, &lrest, &frest, lblock, lblock, cmp);
        } else {
            smartMergeWithoutBuffer(arr + prest, &lrest, &frest, lblock, cmp);
        }
    }
    int prest = pidx - lrest;
    if (llast) {
        if (frest) {
            if (havebuf) swapN(arr + prest - lblock, arr + prest, lrest);
            prest = pidx;
            lrest = lblock * nblock2;
        } else {
            lrest += lblock * nblock2;
        }
        if (havebuf)
            mergeLeft(arr + prest, lrest, llast, -lblock, cmp);
        else
            mergeWithoutBuffer(arr + prest, lrest, llast, cmp);
    } else if (havebuf) {
        swapN(arr + prest, arr + (prest - lblock), lrest);
    }
}

// Merges neighbouring sorted runs of ll elements pairwise in arr[0, len), cutting them into blocks of
// lblock tagged by the keys at the front of the array; arr[-lblock, 0) is the buffer when havebuf.
template <class T, class C>
void combineBlocks(T* keys, T* arr, int len, int ll, int lblock, bool havebuf, C& cmp) {
    const int m = len / (2 * ll);
    int lrest = len % (2 * ll);
    if (lrest <= ll) {
        len -= lrest;
        lrest = 0;
    }
    for (int b = 0; b <= m; ++b) {
        if (b == m && lrest == 0) break;
        T* arr1 = arr + b * 2 * ll;
        const int nblk = (b == m ? lrest : 2 * ll) / lblock;
        insertSort(keys, nblk + (b == m ? 1 : 0), cmp);
        int midkey = ll / lblock;
        // Selection sort of the blocks by first element, ties broken by tag so the merge stays stable.
        for (int u = 1; u < nblk; ++u) {
            int p = u - 1;
            for (int v = u; v < nblk; ++v) {
                const int kc = cmp(arr1[p * lblock], arr1[v * lblock]);
                if (kc > 0 || (kc == 0 && cmp(keys[p], keys[v]) > 0)) p = v;
            }
            if (p != u - 1) {
                swapN(arr1 + (u - 1) * lblock, arr1 + p * lblock, lblock);
                std::swap(keys[u - 1], keys[p]);
                if (midkey == u - 1 || midkey == p) midkey ^= (u - 1) ^ p;
            }
        }
        int nbl2 = 0, llast = 0;
        if (b == m) llast = lrest % lblock;
        if (llast != 0)
            while (nbl2 < nblk && cmp(arr1[nblk * lblock], arr1[(nblk - nbl2 - 1) * lblock]) < 0) ++nbl2;
        mergeBuffersLeft(keys, keys + midkey, arr1, nblk - nbl2, lblock, havebuf, nbl2, llast, cmp);
    }
    if (havebuf)
        while (--len >= 0) std::swap(arr[len], arr[len - lblock]);
}

template <class T, class C>
void lazyStableSort(T* arr, int len, C& cmp) {
    for (int m = 1; m < len; m += 2)
        if (cmp(arr[m - 1], arr[m]) > 0) std::swap(arr[m - 1], arr[m]);
    for (int h = 2; h < len; h *= 2) {
        int p0 = 0;
        const int p1 = len - 2 * h;
        while (p0 <= p1) {
            mergeWithoutBuffer(arr + p0, h, h, cmp);
            p0 += 2 * h;
        }
        const int rest = len - p0;
        if (rest > h) mergeWithoutBuffer(arr + p0, h, rest - h, cmp);
    }
}

}  // namespace grail_detail

template <class T, class Compare>
void grail_commonSort(T* array, int n, Compare cmp) {
    using namespace grail_detail;
    if (!array || n < 2) return;
    if (n < 16) {
        insertSort(array, n, cmp);
        return;
    }
    int lblock = 1;
    while (lblock * lblock < n) lblock *= 2;
    int nkeys = (n - 1) / lblock + 1;
    const int found = findKeys(array, n, nkeys + lblock, cmp);
    bool havebuf = true;
    if (found < nkeys + lblock) {
        if (found < 4) {
            lazyStableSort(array, n, cmp);
            return;
        }
        nkeys = lblock;
        while (nkeys > found) nkeys /= 2;
        havebuf = false;
        lblock = 0;
    }
    const int ptr = lblock + nkeys;
    int cbuf = havebuf ? lblock : nkeys;
    buildBlocks(array + ptr, n - ptr, cbuf, cmp);
    // Runs of 2 * cbuf are sorted now; merge them pairwise until one run remains.
    while (n - ptr > (cbuf *= 2)) {
        int lb = lblock;
        bool chavebuf = havebuf;
        if (!havebuf) {
            if (nkeys > 4 && nkeys / 8 * nkeys >= cbuf) {
                lb = nkeys / 2;  // half of the keys serve as the buffer
                chavebuf = true;
            } else {
                int nk = 1;
                long long s = static_cast<long long>(cbuf) * found / 2;
                while (nk < nkeys && s != 0) {
                    nk *= 2;
                    s /= 8;
                }
                lb = (2 * cbuf) / nk;
            }
        }
        combineBlocks(array, array + ptr, n - ptr, cbuf, lb, chavebuf, cmp);
    }
    insertSort(array, ptr, cmp);
    mergeWithoutBuffer(array, ptr, n - ptr, cmp);
}

}  // namespace plugkit::core
