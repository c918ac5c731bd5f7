#pragma once

// One of the unit's stored-record lists (menus 173-176): the kind its
// requests name and the texts of its menus and messages, in the translation
// context of the settings page. A text the list has no use for is null.
struct BookList
{
    int menuId;
    const char* kind;
    const char* newTitle;
    const char* newValue;
    const char* rowValueOperator;
    const char* rowValueOther;
    const char* nameTitle;
    const char* loadValue;
    const char* updateValue; // null: no Update item
    const char* deleteValue;
    const char* creating;
    const char* createFailed;
    const char* loadBusy;
    const char* loading; // null: no progress message and no popup to close
    const char* loadFailed;
    const char* updateFailed;
    const char* deleteFailed;
};

// The list of that menu id; the call profiles' for any other id.
const BookList& bookList(int menuId);
