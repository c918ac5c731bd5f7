#pragma once

// One of the unit's stored-record lists (menus 173-176): the kind its
// requests name and the texts of its menus and messages, in the translation
// context of the settings page. A text the list has no use for stays null.
// The texts share one type, so a swapped pair would pass unnoticed: with a
// constructor of its own the list is no aggregate, and each text is set by
// its name.
struct BookList
{
    BookList(int menu, const char* requestKind) : menuId(menu), kind(requestKind) {}

    int menuId;
    const char* kind;
    const char* newTitle = nullptr;
    const char* newValue = nullptr;
    const char* rowValueOperator = nullptr;
    const char* rowValueOther = nullptr;
    const char* nameTitle = nullptr;
    const char* loadValue = nullptr;
    const char* updateValue = nullptr; // null: no Update item
    const char* deleteValue = nullptr;
    const char* creating = nullptr;
    const char* createFailed = nullptr;
    const char* loadBusy = nullptr;
    const char* loading = nullptr; // null: no progress message and no popup to close
    const char* loadFailed = nullptr;
    const char* updateFailed = nullptr;
    const char* deleteFailed = nullptr;
};

// The list of that menu id; the call profiles' for any other id.
const BookList& bookList(int menuId);
