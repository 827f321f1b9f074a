// CStringList. Nodes come from blocks of m_nBlockSize nodes; a freed node
// goes to the free list, and the blocks are released only when the list
// becomes empty through RemoveAll or is destroyed.
#include "afxwin.h"

#include <new>

namespace {

const CString& EmptyString() {
  static const CString s_empty;
  return s_empty;
}

}  // namespace

CStringList::CStringList(int nBlockSize)
    : m_pNodeHead(nullptr),
      m_pNodeTail(nullptr),
      m_nCount(0),
      m_pNodeFree(nullptr),
      m_pBlocks(nullptr),
      m_nBlockSize(nBlockSize > 0 ? nBlockSize : 10) {}

CStringList::~CStringList() { RemoveAll(); }

CStringList::CNode* CStringList::NewNode(CNode* pPrev, CNode* pNext) {
  if (!m_pNodeFree) {
    // One allocation holds the block header and m_nBlockSize nodes.
    size_t nodeOffset = (sizeof(CBlock) + alignof(CNode) - 1) / alignof(CNode) * alignof(CNode);
    unsigned char* raw = static_cast<unsigned char*>(::operator new(nodeOffset + sizeof(CNode) * (size_t)m_nBlockSize));
    CBlock* pBlock = reinterpret_cast<CBlock*>(raw);
    pBlock->pNext = m_pBlocks;
    m_pBlocks = pBlock;
    CNode* pNodes = reinterpret_cast<CNode*>(raw + nodeOffset);
    // Chain the raw nodes into the free list, first node on top.
    for (int i = m_nBlockSize - 1; i >= 0; --i) {
      pNodes[i].pNext = m_pNodeFree;
      m_pNodeFree = &pNodes[i];
    }
  }
  CNode* pNode = m_pNodeFree;
  m_pNodeFree = m_pNodeFree->pNext;
  pNode->pPrev = pPrev;
  pNode->pNext = pNext;
  new (&pNode->data) CString;
  ++m_nCount;
  return pNode;
}

void CStringList::FreeNode(CNode* pNode) {
  pNode->data.~CString();
  pNode->pNext = m_pNodeFree;
  m_pNodeFree = pNode;
  --m_nCount;
  if (m_nCount == 0) RemoveAll();
}

void CStringList::RemoveAll() {
  for (CNode* p = m_pNodeHead; p; p = p->pNext) p->data.~CString();
  m_pNodeHead = m_pNodeTail = nullptr;
  m_nCount = 0;
  m_pNodeFree = nullptr;
  while (m_pBlocks) {
    CBlock* pNext = m_pBlocks->pNext;
    ::operator delete(m_pBlocks);
    m_pBlocks = pNext;
  }
}

const CString& CStringList::GetHead() const { return m_pNodeHead ? m_pNodeHead->data : EmptyString(); }

const CString& CStringList::GetTail() const { return m_pNodeTail ? m_pNodeTail->data : EmptyString(); }

CString CStringList::RemoveHead() {
  if (!m_pNodeHead) return CString();
  CNode* pOld = m_pNodeHead;
  CString ret = pOld->data;
  m_pNodeHead = pOld->pNext;
  if (m_pNodeHead)
    m_pNodeHead->pPrev = nullptr;
  else
    m_pNodeTail = nullptr;
  FreeNode(pOld);
  return ret;
}

CString CStringList::RemoveTail() {
  if (!m_pNodeTail) return CString();
  CNode* pOld = m_pNodeTail;
  CString ret = pOld->data;
  m_pNodeTail = pOld->pPrev;
  if (m_pNodeTail)
    m_pNodeTail->pNext = nullptr;
  else
    m_pNodeHead = nullptr;
  FreeNode(pOld);
  return ret;
}

POSITION CStringList::AddHead(LPCSTR newElement) {
  CNode* pNew = NewNode(nullptr, m_pNodeHead);
  pNew->data = newElement;
  if (m_pNodeHead)
    m_pNodeHead->pPrev = pNew;
  else
    m_pNodeTail = pNew;
  m_pNodeHead = pNew;
  return (POSITION)pNew;
}

POSITION CStringList::AddTail(LPCSTR newElement) {
  CNode* pNew = NewNode(m_pNodeTail, nullptr);
  pNew->data = newElement;
  if (m_pNodeTail)
    m_pNodeTail->pNext = pNew;
  else
    m_pNodeHead = pNew;
  m_pNodeTail = pNew;
  return (POSITION)pNew;
}

CString& CStringList::GetNext(POSITION& rPosition) {
  CNode* pNode = (CNode*)rPosition;
  rPosition = (POSITION)pNode->pNext;
  return pNode->data;
}

const CString& CStringList::GetNext(POSITION& rPosition) const {
  CNode* pNode = (CNode*)rPosition;
  rPosition = (POSITION)pNode->pNext;
  return pNode->data;
}

CString& CStringList::GetPrev(POSITION& rPosition) {
  CNode* pNode = (CNode*)rPosition;
  rPosition = (POSITION)pNode->pPrev;
  return pNode->data;
}

const CString& CStringList::GetPrev(POSITION& rPosition) const {
  CNode* pNode = (CNode*)rPosition;
  rPosition = (POSITION)pNode->pPrev;
  return pNode->data;
}

CString& CStringList::GetAt(POSITION position) { return ((CNode*)position)->data; }

const CString& CStringList::GetAt(POSITION position) const { return ((CNode*)position)->data; }

void CStringList::SetAt(POSITION pos, LPCSTR newElement) { ((CNode*)pos)->data = newElement; }

void CStringList::RemoveAt(POSITION position) {
  CNode* pOld = (CNode*)position;
  if (!pOld) return;
  if (pOld == m_pNodeHead)
    m_pNodeHead = pOld->pNext;
  else
    pOld->pPrev->pNext = pOld->pNext;
  if (pOld == m_pNodeTail)
    m_pNodeTail = pOld->pPrev;
  else
    pOld->pNext->pPrev = pOld->pPrev;
  FreeNode(pOld);
}

POSITION CStringList::InsertBefore(POSITION position, LPCSTR newElement) {
  if (!position) return AddHead(newElement);
  CNode* pOld = (CNode*)position;
  CNode* pNew = NewNode(pOld->pPrev, pOld);
  pNew->data = newElement;
  if (pOld->pPrev)
    pOld->pPrev->pNext = pNew;
  else
    m_pNodeHead = pNew;
  pOld->pPrev = pNew;
  return (POSITION)pNew;
}

POSITION CStringList::InsertAfter(POSITION position, LPCSTR newElement) {
  if (!position) return AddTail(newElement);
  CNode* pOld = (CNode*)position;
  CNode* pNew = NewNode(pOld, pOld->pNext);
  pNew->data = newElement;
  if (pOld->pNext)
    pOld->pNext->pPrev = pNew;
  else
    m_pNodeTail = pNew;
  pOld->pNext = pNew;
  return (POSITION)pNew;
}

POSITION CStringList::Find(LPCSTR searchValue, POSITION startAfter) const {
  CNode* pNode = startAfter ? ((CNode*)startAfter)->pNext : m_pNodeHead;
  for (; pNode; pNode = pNode->pNext)
    if (pNode->data == (searchValue ? searchValue : "")) return (POSITION)pNode;
  return NULL;
}

POSITION CStringList::FindIndex(int nIndex) const {
  if (nIndex < 0 || nIndex >= m_nCount) return NULL;
  CNode* pNode = m_pNodeHead;
  while (nIndex--) pNode = pNode->pNext;
  return (POSITION)pNode;
}
