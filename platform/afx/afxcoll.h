// CStringList: a doubly linked list of CString whose nodes are allocated in
// blocks of a chosen size and recycled through a free list.
#pragma once

#include "afxstring.h"

struct __POSITION {};
typedef __POSITION* POSITION;

class CStringList {
 public:
  explicit CStringList(int nBlockSize = 10);
  ~CStringList();
  CStringList(const CStringList&) = delete;
  CStringList& operator=(const CStringList&) = delete;

  int GetCount() const { return m_nCount; }
  BOOL IsEmpty() const { return m_nCount == 0; }
  int GetBlockSize() const { return m_nBlockSize; }

  // The head and tail of an empty list read as the empty string.
  const CString& GetHead() const;
  const CString& GetTail() const;
  // Removing from an empty list gives the empty string and changes nothing.
  CString RemoveHead();
  CString RemoveTail();

  POSITION AddHead(LPCSTR newElement);
  POSITION AddTail(LPCSTR newElement);
  void RemoveAll();

  POSITION GetHeadPosition() const { return (POSITION)m_pNodeHead; }
  POSITION GetTailPosition() const { return (POSITION)m_pNodeTail; }
  // The element at rPosition; rPosition moves on (NULL after the last).
  CString& GetNext(POSITION& rPosition);
  const CString& GetNext(POSITION& rPosition) const;
  CString& GetPrev(POSITION& rPosition);
  const CString& GetPrev(POSITION& rPosition) const;
  CString& GetAt(POSITION position);
  const CString& GetAt(POSITION position) const;
  void SetAt(POSITION pos, LPCSTR newElement);
  void RemoveAt(POSITION position);
  POSITION InsertBefore(POSITION position, LPCSTR newElement);
  POSITION InsertAfter(POSITION position, LPCSTR newElement);

  // Byte-wise equal element after startAfter (from the head when NULL).
  POSITION Find(LPCSTR searchValue, POSITION startAfter = NULL) const;
  POSITION FindIndex(int nIndex) const;

 private:
  struct CNode {
    CNode* pNext;
    CNode* pPrev;
    CString data;
  };
  struct CBlock {
    CBlock* pNext;
  };

  CNode* NewNode(CNode* pPrev, CNode* pNext);
  void FreeNode(CNode* pNode);

  CNode* m_pNodeHead;
  CNode* m_pNodeTail;
  int m_nCount;
  CNode* m_pNodeFree;
  CBlock* m_pBlocks;
  int m_nBlockSize;
};
