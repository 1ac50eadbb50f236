// The widget library's pages arrive one by one; this keeps the target non-empty.
namespace orvel_ui_placeholder {
int unused = 0;
}
