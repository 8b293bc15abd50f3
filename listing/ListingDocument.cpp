#include "listing/ListingDocument.h"

#include "listing/ListingSource.h"

namespace quillmap {

// Announces a change of the document for its lifetime.
class ListingDocument::Change
{
public:
    explicit Change(ListingDocument& document) : m_document(document)
    {
        emit m_document.aboutToChange();
    }
    ~Change() { emit m_document.changed(); }
    Change(const Change&) = delete;
    Change& operator=(const Change&) = delete;

private:
    ListingDocument& m_document;
};

bool ListingDocument::load(ListingSource& source, Origin origin, std::string listingPath)
{
    NodeStore tree;
    SearchRecord record;
    if (!source.read(tree, record))
        return false;
    adopt(std::move(tree), std::move(record), origin, std::move(listingPath));
    return true;
}

void ListingDocument::adopt(NodeStore&& tree, SearchRecord&& record, Origin origin,
                            std::string listingPath)
{
    const Change change(*this);
    endComparison();
    m_tree = std::move(tree);
    m_record = std::move(record);
    m_origin = origin;
    m_listingPath = std::move(listingPath);
    m_order = SortOrder();
}

void ListingDocument::clear()
{
    const Change change(*this);
    endComparison();
    m_tree.clear();
    m_record = SearchRecord();
    m_origin = Origin::None;
    m_listingPath.clear();
    m_order = SortOrder();
}

void ListingDocument::endComparison()
{
    m_compared = false;
    m_full.clear();
    m_fullShown = false;
    m_fullChanges = {};
    m_changes = {};
    m_summary = TreeComparison::Summary();
    m_comparedWith.clear();
    m_comparedRecord = SearchRecord();
}

bool ListingDocument::compareWith(ListingSource& saved, const QString& savedName)
{
    NodeStore tree;
    SearchRecord record;
    if (!saved.read(tree, record))
        return false;
    compareWith(std::move(tree), std::move(record), savedName);
    return true;
}

NodeStore ListingDocument::takeCompared()
{
    if (!m_compared)
        return std::move(m_tree);
    // The comparison without what it added: the tree as it was.
    NodeStore before;
    TreeComparison::Options options;
    options.withoutRemoved = true;
    TreeComparison::copy(m_fullShown ? m_tree : m_full, m_fullChanges, before, options);
    return before;
}

void ListingDocument::compareWith(NodeStore&& saved, SearchRecord&& savedRecord,
                                  const QString& savedName)
{
    const Change change(*this);
    NodeStore tree = takeCompared();
    // The comparison merges in the search's order.
    if (m_order != SortOrder())
        SortTree(tree, SortOrder());
    const TreeComparison::Options view = m_view;
    endComparison();
    m_view = view;
    // The removed nodes join the tree compared, so the memory stays near that of the two
    // listings, and the saved one goes as soon as it is compared.
    TreeComparison comparison;
    comparison.compareInPlace(saved, tree);
    saved.clear();
    m_tree.clear();
    m_full = std::move(tree);
    m_fullChanges = comparison.changes();
    m_summary = comparison.summary();
    m_comparedWith = savedName;
    m_comparedRecord = std::move(savedRecord);
    m_compared = true;
    if (m_order != SortOrder())
        SortTree(m_full, m_order);
    showComparison();
}

void ListingDocument::sort(SortOrder order)
{
    const Change change(*this);
    m_order = order;
    SortTree(m_tree, order);
    if (!m_full.isEmpty())
        SortTree(m_full, order);
}

void ListingDocument::setComparisonView(bool onlyChanges, bool markTexts)
{
    m_view.onlyChanges = onlyChanges;
    m_view.markTexts = markTexts;
    if (m_compared) {
        const Change change(*this);
        showComparison();
    }
}

void ListingDocument::showComparison()
{
    if (!m_view.onlyChanges && !m_view.markTexts) {
        // Shown as it is.
        if (!m_fullShown) {
            m_tree = std::move(m_full);
            m_fullShown = true;
        }
        m_changes = {};
        return;
    }
    if (m_fullShown) {
        m_full = std::move(m_tree);
        m_fullShown = false;
    }
    m_changes = TreeComparison::copy(m_full, m_fullChanges, m_tree, m_view);
}

} // namespace quillmap
